#include "proxy/HostText.h"

namespace hosttext {

namespace {

struct Escape {
    char breaker;
    const char* shown;
};

constexpr Escape kEscapes[] = {{'\r', "\\r"}, {'\n', "\\n"}, {'\0', "\\0"}};

const char* escapeOf(char c) {
    for (const Escape& escape : kEscapes) {
        if (escape.breaker == c) {
            return escape.shown;
        }
    }
    return nullptr;
}

} // namespace

bool breaksTheLine(const std::string& host) {
    for (const char c : host) {
        if (escapeOf(c) != nullptr) {
            return true;
        }
    }
    return false;
}

std::string printable(const std::string& host) {
    std::string shown;
    for (const char c : host) {
        if (const char* escape = escapeOf(c)) {
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace hosttext
