#include "net/IpLiteral.h"

#include "platform/AsciiCase.h"

#include <cstddef>
#include <vector>

namespace net {

namespace {

constexpr int kMaxOctet = 255;
constexpr std::size_t kMaxOctetDigits = 3;
constexpr std::size_t kIpv6Groups = 8;
constexpr std::size_t kMaxGroupDigits = 4;
constexpr int kHexBase = 16;
constexpr int kBitsPerByte = 8;
constexpr std::uint8_t kByteMask = 0xFF;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::optional<std::uint16_t> hexGroup(const std::string& text) {
    if (text.empty() || text.size() > kMaxGroupDigits) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        const int digit = platform::hexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * kHexBase + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

// The 16-bit groups of one side of a "::" (or of a text without one); a dotted IPv4 tail, allowed
// only at the very end, counts as two groups.
bool readGroups(const std::string& text, bool mayEndInIpv4, std::vector<std::uint16_t>& groups) {
    if (text.empty()) {
        return true;
    }
    const std::vector<std::string> parts = split(text, ':');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (mayEndInIpv4 && i + 1 == parts.size() && parts[i].find('.') != std::string::npos) {
            const std::optional<Ipv4Bytes> tail = ipv4Literal(parts[i]);
            if (!tail) {
                return false;
            }
            groups.push_back(static_cast<std::uint16_t>(((*tail)[0] << kBitsPerByte) | (*tail)[1]));
            groups.push_back(static_cast<std::uint16_t>(((*tail)[2] << kBitsPerByte) | (*tail)[3]));
            continue;
        }
        const std::optional<std::uint16_t> group = hexGroup(parts[i]);
        if (!group) {
            return false;
        }
        groups.push_back(*group);
    }
    return true;
}

bool isBracketed(const std::string& host) {
    return host.size() >= 2 && host.front() == '[' && host.back() == ']';
}

} // namespace

std::optional<Ipv4Bytes> ipv4Literal(const std::string& text) {
    const std::vector<std::string> parts = split(text, '.');
    if (parts.size() != kIpv4Bytes) {
        return std::nullopt;
    }
    Ipv4Bytes bytes{};
    for (std::size_t i = 0; i < kIpv4Bytes; ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part.size() > kMaxOctetDigits) {
            return std::nullopt;
        }
        int value = 0;
        for (const char c : part) {
            if (!isDigit(c)) {
                return std::nullopt;
            }
            value = value * 10 + (c - '0');
        }
        if (value > kMaxOctet) {
            return std::nullopt;
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return bytes;
}

std::optional<Ipv6Bytes> ipv6Literal(const std::string& text) {
    const std::string::size_type gap = text.find("::");
    if (gap != std::string::npos && text.find("::", gap + 1) != std::string::npos) {
        return std::nullopt;
    }
    std::vector<std::uint16_t> head;
    std::vector<std::uint16_t> tail;
    if (gap == std::string::npos) {
        if (!readGroups(text, true, head) || head.size() != kIpv6Groups) {
            return std::nullopt;
        }
    } else if (!readGroups(text.substr(0, gap), false, head) ||
               !readGroups(text.substr(gap + 2), true, tail) ||
               head.size() + tail.size() >= kIpv6Groups) {
        return std::nullopt;
    }
    std::vector<std::uint16_t> groups = head;
    groups.resize(kIpv6Groups - tail.size(), 0);
    groups.insert(groups.end(), tail.begin(), tail.end());
    Ipv6Bytes bytes{};
    for (std::size_t i = 0; i < kIpv6Groups; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(groups[i] >> kBitsPerByte);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & kByteMask);
    }
    return bytes;
}

std::string withoutBrackets(const std::string& host) {
    if (isBracketed(host) && ipv6Literal(host.substr(1, host.size() - 2))) {
        return host.substr(1, host.size() - 2);
    }
    return host;
}

std::string bracketed(const std::string& host) {
    return ipv6Literal(host) ? "[" + host + "]" : host;
}

} // namespace net
