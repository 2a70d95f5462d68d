// Letter case as names on the wire and in settings know it: ASCII only, whatever the locale, so
// that a name compares the same on every machine.
#pragma once

#include <string>

namespace platform {

// The text with 'A' to 'Z' made 'a' to 'z'; every other byte stays as it is.
std::string asciiLower(std::string text);

// Equal once both are folded so.
bool sameIgnoringAsciiCase(const std::string& first, const std::string& second);

} // namespace platform
