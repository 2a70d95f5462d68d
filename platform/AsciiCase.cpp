#include "platform/AsciiCase.h"

#include <algorithm>

namespace platform {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string asciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), lower);
    return text;
}

bool sameIgnoringAsciiCase(const std::string& first, const std::string& second) {
    return first.size() == second.size() &&
           std::equal(first.begin(), first.end(), second.begin(),
                      [](char a, char b) { return lower(a) == lower(b); });
}

} // namespace platform
