#pragma once

// The plug-in links no C run-time library, so the few string operations it needs live here.

namespace splash {

inline unsigned textLength(const char* text) {
    unsigned length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

// Copies at most capacity - 1 characters and always terminates (when capacity > 0). Returns
// false when the text did not fit whole, so callers never act on a cut-off path.
inline bool copyText(char* out, unsigned capacity, const char* text) {
    if (capacity == 0) {
        return false;
    }
    unsigned i = 0;
    for (; text[i] != '\0'; ++i) {
        if (i + 1 == capacity) {
            out[i] = '\0';
            return false;
        }
        out[i] = text[i];
    }
    out[i] = '\0';
    return true;
}

} // namespace splash
