#include "log/LogText.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kSchemeCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+.-";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr const char* kHexEscape = "\\x%02X";

struct Escape {
    char control;
    const char* shown;
};

constexpr Escape kNamedEscapes[] = {{'\r', "\\r"}, {'\n', "\\n"}, {'\0', "\\0"}, {'\t', "\\t"}};

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < kFirstPrintable || byte == kDelete;
}

void appendShown(std::string& shown, char c) {
    for (const Escape& escape : kNamedEscapes) {
        if (escape.control == c) {
            shown += escape.shown;
            return;
        }
    }
    char hex[sizeof "\\xFF"];
    std::snprintf(hex, sizeof hex, kHexEscape, static_cast<unsigned char>(c));
    shown += hex;
}

} // namespace

bool breaksTheLine(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

std::string printable(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        if (isControl(c)) {
            appendShown(shown, c);
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string withoutUserInfo(const std::string& text) {
    const std::string::size_type lastAt = text.rfind('@');
    if (lastAt == std::string::npos) {
        return text;
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
    return shown;
}
