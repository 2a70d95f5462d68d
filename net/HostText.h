// A host and a port as texts write them: "host:port", "[2001:db8::1]:port" (an IPv6 address is
// bracketed wherever a port follows it, since its own colons would hide the port's), in URLs and
// proxy lists often with a '/' after it. Every reader of such a text goes through here, and every
// log line, URL and request that writes one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace net {

struct HostPortText {
    std::string host; // as written, brackets included
    std::string port; // everything after the colon, unchecked
};

// Splits at the colon before the port, after dropping one trailing '/'. Nothing when there is no
// colon outside brackets, or when the whole text is an IPv6 address without brackets: its last
// group would be taken for a port.
std::optional<HostPortText> splitHostAndPort(std::string text);

// The host a connection is made to: a bracketed IPv6 address without its brackets, a name or an
// IPv4 address as it is. Nothing for an empty host, an IPv6 address without brackets (its colons
// cannot be told from the port's), or one holding '[', ']' or '/'.
std::optional<std::string> hostOf(const std::string& written);

enum class HostPortRead {
    Ok,
    NoPort,  // no colon before a port
    BadHost, // as hostOf refuses it, or the whole text is an IPv6 address without brackets
    BadPort, // not a number from 1 to 65535; the host is set
};

struct HostAndPort {
    std::string host; // without brackets
    std::uint16_t port = 0;
};

// Splits, then reads the host and the port in full. Sets only what the result says is good.
HostPortRead readHostAndPort(const std::string& text, HostAndPort& read);

// "host:port" as logs, URLs and CONNECT requests write it: an IPv6 host in brackets.
std::string hostAndPortText(const std::string& host, std::uint16_t port);

} // namespace net
