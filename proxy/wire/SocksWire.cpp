#include "proxy/wire/SocksWire.h"

#include "log/LogText.h"

#include <cstring>

namespace socks {

std::size_t buildRequest(std::uint8_t (&buffer)[kBufferSize], std::uint16_t targetPort,
                         const std::uint8_t* address, const std::string& targetHost) {
    const bool byName = address == nullptr;
    // A zero would end the name early; a line break is refused as everywhere a host is sent.
    if (byName && (targetHost.size() > kMaxHostLength || breaksTheLine(targetHost))) {
        return 0;
    }
    std::memset(buffer, 0, sizeof buffer);
    buffer[0] = kVersion;
    buffer[1] = kCommandConnect;
    buffer[kPortOffset] = static_cast<std::uint8_t>(targetPort >> 8);
    buffer[kPortOffset + 1] = static_cast<std::uint8_t>(targetPort & 0xFF);
    std::memcpy(buffer + kAddressOffset, byName ? kResolveByProxy : address, 4);
    if (!byName) {
        return kSocks4Length;
    }
    std::memcpy(buffer + kHostOffset, targetHost.data(), targetHost.size());
    return kHostOffset + targetHost.size() + 1;
}

ReplyVerdict judgeReply(const std::uint8_t (&reply)[kReplyLength]) {
    if (reply[kReplyVersionOffset] != kReplyVersion) {
        return ReplyVerdict::UnknownVersion;
    }
    switch (reply[kReplyCodeOffset]) {
    case kGranted:
        return ReplyVerdict::Granted;
    case kRejected:
        return ReplyVerdict::Rejected;
    default:
        return ReplyVerdict::UnknownResponse;
    }
}

} // namespace socks
