#include "net/HostText.h"

#include "net/IpLiteral.h"
#include "platform/PortNumber.h"

namespace net {

std::optional<HostPortText> splitHostAndPort(std::string text) {
    if (!text.empty() && text.back() == '/') {
        text.pop_back();
    }
    const std::string::size_type colon = text.rfind(':');
    const std::string::size_type bracket = text.rfind(']');
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket) ||
        ipv6Literal(text)) {
        return std::nullopt;
    }
    return HostPortText{text.substr(0, colon), text.substr(colon + 1)};
}

std::optional<std::string> hostOf(const std::string& written) {
    const std::string host = withoutBrackets(written);
    if (host != written) {
        return host;
    }
    if (host.empty() || host.find_first_of(":[]/") != std::string::npos) {
        return std::nullopt;
    }
    return host;
}

HostPortRead readHostAndPort(const std::string& text, HostAndPort& read) {
    const std::optional<HostPortText> split = splitHostAndPort(text);
    if (!split) {
        return ipv6Literal(text) ? HostPortRead::BadHost : HostPortRead::NoPort;
    }
    const std::optional<std::string> host = hostOf(split->host);
    if (!host) {
        return HostPortRead::BadHost;
    }
    read.host = *host;
    return platform::parsePort(split->port, read.port) ? HostPortRead::Ok : HostPortRead::BadPort;
}

std::string hostAndPortText(const std::string& host, std::uint16_t port) {
    return bracketed(host) + ":" + std::to_string(port);
}

} // namespace net
