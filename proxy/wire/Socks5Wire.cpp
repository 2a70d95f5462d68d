#include "proxy/wire/Socks5Wire.h"

#include "log/LogText.h"
#include "net/IpLiteral.h"

namespace socks5 {

namespace {

void appendPort(std::vector<std::uint8_t>& bytes, std::uint16_t port) {
    bytes.push_back(static_cast<std::uint8_t>(port >> 8));
    bytes.push_back(static_cast<std::uint8_t>(port & 0xFF));
}

void appendCounted(std::vector<std::uint8_t>& bytes, const std::string& text) {
    bytes.push_back(static_cast<std::uint8_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

} // namespace

std::vector<std::uint8_t> buildGreeting(bool offerPassword) {
    if (offerPassword) {
        return {kVersion, 2, kMethodNoAuthentication, kMethodPassword};
    }
    return {kVersion, 1, kMethodNoAuthentication};
}

ChoiceVerdict judgeChoice(const std::uint8_t (&choice)[kChoiceLength], bool offeredPassword) {
    if (choice[0] != kVersion) {
        return ChoiceVerdict::BadVersion;
    }
    switch (choice[1]) {
    case kMethodNoAuthentication:
        return ChoiceVerdict::NoAuthentication;
    case kMethodPassword:
        return offeredPassword ? ChoiceVerdict::Password : ChoiceVerdict::NotOffered;
    case kMethodNoneAcceptable:
        return ChoiceVerdict::NoneAcceptable;
    default:
        return ChoiceVerdict::NotOffered;
    }
}

std::vector<std::uint8_t> buildPasswordRequest(const std::string& user,
                                               const std::string& password) {
    if (user.empty() || user.size() > kMaxCredentialLength ||
        password.size() > kMaxCredentialLength) {
        return {};
    }
    std::vector<std::uint8_t> bytes{kPasswordVersion};
    appendCounted(bytes, user);
    appendCounted(bytes, password);
    return bytes;
}

PasswordVerdict judgePasswordReply(const std::uint8_t (&reply)[kPasswordReplyLength]) {
    if (reply[0] != kPasswordVersion) {
        return PasswordVerdict::BadVersion;
    }
    return reply[1] == kPasswordSuccess ? PasswordVerdict::Accepted : PasswordVerdict::Refused;
}

std::vector<std::uint8_t> buildRequest(const std::string& targetHost, std::uint16_t targetPort) {
    std::vector<std::uint8_t> bytes{kVersion, kCommandConnect, kReserved};
    const std::string bare = net::withoutBrackets(targetHost);
    if (const auto v4 = net::ipv4Literal(bare)) {
        bytes.push_back(kAddressIpv4);
        bytes.insert(bytes.end(), v4->begin(), v4->end());
    } else if (const auto v6 = net::ipv6Literal(bare)) {
        bytes.push_back(kAddressIpv6);
        bytes.insert(bytes.end(), v6->begin(), v6->end());
    } else if (targetHost.empty() || targetHost.size() > kMaxNameLength ||
               breaksTheLine(targetHost)) {
        // A NUL or line break would name another host than the one logged.
        return {};
    } else {
        bytes.push_back(kAddressName);
        appendCounted(bytes, targetHost);
    }
    appendPort(bytes, targetPort);
    return bytes;
}

ReplyVerdict judgeReplyHead(const std::uint8_t (&head)[kReplyHeadLength]) {
    if (head[0] != kVersion) {
        return ReplyVerdict::BadVersion;
    }
    if (head[kReplyCodeOffset] != kSucceeded) {
        return ReplyVerdict::Failed;
    }
    const std::uint8_t type = head[kReplyAddressTypeOffset];
    const bool known = type == kAddressIpv4 || type == kAddressName || type == kAddressIpv6;
    return known ? ReplyVerdict::Succeeded : ReplyVerdict::BadAddressType;
}

const char* replyCodeText(std::uint8_t code) {
    // Indexed by the reply code, as RFC 1928 names them.
    static constexpr const char* kTexts[kLastKnownFailure + 1] = {
        "succeeded",
        "general SOCKS server failure",
        "connection not allowed by ruleset",
        "network unreachable",
        "host unreachable",
        "connection refused",
        "TTL expired",
        "command not supported",
        "address type not supported",
    };
    return code <= kLastKnownFailure ? kTexts[code] : "unknown reply code";
}

std::size_t boundAddressLength(std::uint8_t addressType, std::uint8_t nameLength) {
    switch (addressType) {
    case kAddressIpv4:
        return net::kIpv4Bytes + kPortLength;
    case kAddressIpv6:
        return net::kIpv6Bytes + kPortLength;
    case kAddressName:
        return nameLength + kPortLength;
    default:
        return 0;
    }
}

} // namespace socks5
