#pragma once

// The plug-in links no C run-time library, so the few string operations it needs live here.

#include "splash/SplashChar.h"

namespace splash {

inline unsigned textLength(const Char* text) {
    unsigned length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

// Copies at most capacity - 1 characters and always terminates (when capacity > 0). Returns
// false when the text did not fit whole, so callers never act on a cut-off path.
inline bool copyText(Char* out, unsigned capacity, const Char* text) {
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

// Room for any int in decimal with its sign and terminator.
constexpr unsigned kIntegerTextCapacity = 12;

// Writes value in decimal into out[kIntegerTextCapacity].
inline void formatInteger(int value, Char* out) {
    unsigned magnitude =
        value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    Char digits[kIntegerTextCapacity];
    unsigned count = 0;
    do {
        digits[count++] = static_cast<Char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    unsigned at = 0;
    if (value < 0) {
        out[at++] = '-';
    }
    while (count > 0) {
        out[at++] = digits[--count];
    }
    out[at] = '\0';
}

} // namespace splash
