#include "log/LogText.h"

#include <algorithm>

std::string printable(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\0') {
            shown += "\\0";
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
