// Address literals as hosts are written: dotted IPv4 ("192.0.2.1") and IPv6 text, bare
// ("2001:db8::1") or in the brackets that URLs, proxy lists and "host:port" texts put around it
// ("[2001:db8::1]:443"). Parsed here, the same on every platform: the systems' own parsers
// disagree (Wine's lookup accepts brackets, Windows' and glibc's do not).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace net {

constexpr std::size_t kIpv4Bytes = 4;
constexpr std::size_t kIpv6Bytes = 16;

using Ipv4Bytes = std::array<std::uint8_t, kIpv4Bytes>;
using Ipv6Bytes = std::array<std::uint8_t, kIpv6Bytes>;

// Four decimal numbers from 0 to 255 joined by dots, nothing else; network byte order.
std::optional<Ipv4Bytes> ipv4Literal(const std::string& text);

// IPv6 text without brackets or zone: eight groups of one to four hex digits, one "::" for a
// run of zero groups, an optional dotted IPv4 tail; network byte order.
std::optional<Ipv6Bytes> ipv6Literal(const std::string& text);

// The host as a connection reads it: a bracketed IPv6 literal loses its brackets, any other
// text is returned as it is.
std::string withoutBrackets(const std::string& host);

// The host as a URL, a "host:port" text or a CONNECT request writes it: an IPv6 literal in
// brackets, any other text as it is.
std::string bracketed(const std::string& host);

} // namespace net
