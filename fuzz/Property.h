// A property that must hold for every input. When one breaks, the run stops with what was
// expected and what came, and libFuzzer keeps the input that broke it as a crash file.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzing {

// The text with every byte outside printable ASCII shown as \xNN, so a report shows it exactly.
inline std::string shown(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out;
}

inline void require(bool holds, const char* expected, const std::string& actual = std::string()) {
    if (!holds) {
        std::fprintf(stderr, "property broken: expected %s; got \"%s\"\n", expected,
                     shown(actual).c_str());
        std::abort();
    }
}

} // namespace fuzzing
