// Which texts the program takes as its target's host: only what a host name or address can be,
// so that no system's address parser reads a longer text as a host it stops early in.
#pragma once

#include <string>

namespace targethost {

// True for a dotted IPv4 address (four numbers from 0 to 255, without leading zeros, which some
// parsers read as octal), an IPv6 address without brackets, or a host name (dot-separated labels
// of letters, digits and hyphens, the last not all digits, and an optional final dot).
bool isTargetHost(const std::string& host);

} // namespace targethost
