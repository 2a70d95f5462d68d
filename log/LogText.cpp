#include "log/LogText.h"

#include <algorithm>

namespace {

constexpr const char* kSchemeCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+.-";

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

std::string loggableSetting(const std::string& text) {
    const std::string::size_type lastAt = text.rfind('@');
    if (lastAt == std::string::npos) {
        return printable(text);
    }
    // Only a leading scheme word ("http://", "http=") is kept: any other marker may lie inside
    // the user information itself.
    const std::string::size_type word =
        std::min(text.find_first_not_of(kSchemeCharacters), text.size());
    std::string::size_type start = 0;
    if (text.compare(word, 3, "://") == 0) {
        start = word + 3;
    } else if (word < text.size() && text[word] == '=') {
        start = word + 1;
    }
    std::string shown = text;
    shown.erase(start, lastAt + 1 - start);
    return printable(shown);
}
