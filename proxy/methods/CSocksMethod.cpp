#include "proxy/methods/CSocksMethod.h"

#include "log/LogText.h"
#include "log/lprintf.h"
#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "net/IpLiteral.h"
#include "platform/Socket.h"
#include "proxy/methods/ProxyTunnel.h"
#include "proxy/wire/SocksWire.h"

#include <cstring>

namespace {

// Not a dotted address: no part of one may exceed 255. Stands for a target that did not resolve.
constexpr const char* kUnresolved = "256.256.256.256";

constexpr ProxyTunnel::Wording kWording{"SOCKS", "error connecting to proxy"};

// The request for the target: SOCKS 4 with its address, or 4a with its name for the proxy to
// resolve when this machine cannot. Returns its length, 0 when the name does not fit.
std::size_t requestFor(const std::string& targetHost, std::uint16_t targetPort,
                       std::uint8_t (&buffer)[socks::kBufferSize]) {
    std::string addressText;
    try {
        addressText = ASocket::lookupHostname(targetHost);
    } catch (...) {
        addressText = kUnresolved;
    }
    const std::uint32_t address = ASocket::parseAddress(addressText);
    std::uint8_t addressBytes[sizeof address];
    std::memcpy(addressBytes, &address, sizeof addressBytes);
    const bool byName = address == platform::kAddressNone;
    return socks::buildRequest(buffer, targetPort, byName ? nullptr : addressBytes, targetHost);
}

bool readReply(ProxyTunnel& tunnel, std::uint8_t (&reply)[socks::kReplyLength], int& error) {
    const int got = tunnel.stream().read(CTCPSocket::BlockingAll, reinterpret_cast<char*>(reply),
                                         static_cast<int>(socks::kReplyLength), &error);
    if (got < static_cast<int>(socks::kReplyLength)) {
        tunnel.say("error reading response %d", error);
        return false;
    }
    return true;
}

bool judge(ProxyTunnel& tunnel, const std::uint8_t (&reply)[socks::kReplyLength]) {
    // Reply bytes are logged as signed 8-bit numbers.
    const auto version = static_cast<std::int8_t>(reply[socks::kReplyVersionOffset]);
    const auto code = static_cast<std::int8_t>(reply[socks::kReplyCodeOffset]);
    switch (socks::judgeReply(reply)) {
    case socks::ReplyVerdict::Granted:
        return true;
    case socks::ReplyVerdict::Rejected:
        tunnel.say("rejected %d", code);
        return false;
    case socks::ReplyVerdict::UnknownVersion:
        tunnel.say("Unknown version %d", version);
        return false;
    case socks::ReplyVerdict::UnknownResponse:
        tunnel.say("Unknown response %d", code);
        return false;
    }
    return false;
}

} // namespace

CSocksMethod::~CSocksMethod() = default;

bool CSocksMethod::connect(CTCPSocket** socketOut, std::string targetHost, std::uint16_t targetPort,
                           std::string proxyHost, std::uint16_t proxyPort) {
    *socketOut = nullptr;
    ProxyTunnel tunnel(kWording, targetHost, targetPort);
    if (breaksTheLine(targetHost)) {
        lastError = platform::kSockInvalidArgument;
        tunnel.say("target host refused: it holds a line break or a zero byte");
        return false;
    }
    // The request has four bytes for an address, and a 4a proxy would look the literal up as a
    // name; the proxy is not even asked.
    if (net::ipv6Literal(targetHost)) {
        lastError = platform::kSockInvalidArgument;
        tunnel.say("target host refused: SOCKS 4 cannot carry an IPv6 address");
        return false;
    }
    if (!tunnel.open(proxyHost, proxyPort, lastError)) {
        return false;
    }
    std::uint8_t request[socks::kBufferSize];
    const std::size_t length = requestFor(targetHost, targetPort, request);
    if (length == 0) {
        lastError = platform::kSockInvalidArgument;
        tunnel.say("target host too long for the request (%u characters, at most %u)",
                   static_cast<unsigned>(targetHost.size()),
                   static_cast<unsigned>(socks::kMaxHostLength));
        return false;
    }
    std::uint8_t reply[socks::kReplyLength];
    if (!tunnel.send(request, length, lastError) || !readReply(tunnel, reply, lastError) ||
        !judge(tunnel, reply)) {
        return false;
    }
    *socketOut = tunnel.release();
    return true;
}
