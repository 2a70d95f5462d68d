// Base 64 (RFC 4648, with padding), the form in which authentication tokens travel in the
// Proxy-Authenticate and Proxy-Authorization header fields.
#pragma once

#include <string>

namespace base64 {

std::string encode(const std::string& bytes);

// The bytes of `text`; false when it is not well-formed base 64 (a character outside the
// alphabet, a length that is no multiple of 4, padding anywhere but at the end).
bool decode(const std::string& text, std::string& bytes);

} // namespace base64
