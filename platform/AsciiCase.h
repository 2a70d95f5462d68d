// ASCII text as names on the wire, URLs and settings know it: letter case and hex digits, whatever
// the locale, so that a name compares and a text decodes the same on every machine.
#pragma once

#include <string>

namespace platform {

// The text with 'A' to 'Z' made 'a' to 'z'; every other byte stays as it is.
std::string asciiLower(std::string text);

// Equal once both are folded so.
bool sameIgnoringAsciiCase(const std::string& first, const std::string& second);

// The value of a hex digit of either case, or -1 for any other byte.
int hexDigitValue(char c);

// "%XX" with two hex digits stands for the byte XX, as in URLs; every other byte, a lone '%'
// included, stays as it is.
std::string percentDecoded(const std::string& text);

} // namespace platform
