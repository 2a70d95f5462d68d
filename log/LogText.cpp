#include "log/LogText.h"

#include <algorithm>

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

bool breaksTheLine(const std::string& text) {
    for (const char c : text) {
        if (escapeOf(c) != nullptr) {
            return true;
        }
    }
    return false;
}

std::string printable(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (const char* escape = escapeOf(c)) {
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string withoutUserInfo(const std::string& text) {
    std::string shown = text;
    for (auto at = shown.rfind('@'); at != std::string::npos; at = shown.rfind('@')) {
        const auto scheme = shown.rfind("://", at);
        const auto named = shown.rfind('=', at);
        std::string::size_type start = 0;
        if (scheme != std::string::npos) {
            start = scheme + 3;
        }
        if (named != std::string::npos) {
            start = std::max(start, named + 1);
        }
        shown.erase(start, at + 1 - start);
    }
    return shown;
}
