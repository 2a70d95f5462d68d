// The SOCKS 4 and 4a CONNECT exchange with a proxy.
//
//   request, SOCKS 4:   +----+----+----+----+----+----+----+----+----+
//                       | VN | CD | DSTPORT |      DSTIP        |NULL|
//                       +----+----+----+----+----+----+----+----+----+
//                          4    1   network    network order     0   (empty user id ends here)
//
//   request, SOCKS 4a:  the same with DSTIP 0.0.0.1, followed by the target's name and a zero:
//                       | ... | NULL | HOST (n bytes) | NULL |          10 + n bytes in all
//
//   reply:              +----+----+----+----+----+----+----+----+
//                       | VN | CD | DSTPORT |      DSTIP        |       8 bytes; only VN and CD
//                       +----+----+----+----+----+----+----+----+       are looked at
//                          0   90 granted, 91 rejected, else unknown
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace socks {

constexpr std::size_t kBufferSize = 500;
constexpr std::uint8_t kVersion = 4;
constexpr std::uint8_t kCommandConnect = 1;
constexpr std::size_t kPortOffset = 2;
constexpr std::size_t kAddressOffset = 4;
constexpr std::size_t kUserIdOffset = 8;
constexpr std::size_t kHostOffset = 9;
constexpr std::size_t kSocks4Length = 9;
constexpr std::size_t kMaxHostLength = kBufferSize - kHostOffset - 1;
// 0.0.0.1 in the address field asks the proxy to resolve the name that follows (SOCKS 4a).
constexpr std::uint8_t kResolveByProxy[4] = {0, 0, 0, 1};

constexpr std::size_t kReplyLength = 8;
constexpr std::size_t kReplyVersionOffset = 0;
constexpr std::size_t kReplyCodeOffset = 1;
constexpr std::uint8_t kReplyVersion = 0;
constexpr std::uint8_t kGranted = 90;
constexpr std::uint8_t kRejected = 91;

static_assert(kMaxHostLength == 490, "the 4a form carries names of at most 490 characters");

// Fills `buffer` with the request and returns its length in bytes. `address` holds the target's
// IPv4 address in network order, or is null for the 4a form, which then carries `targetHost`.
// Returns 0 when a 4a name is longer than kMaxHostLength or holds a CR, LF or NUL.
std::size_t buildRequest(std::uint8_t (&buffer)[kBufferSize], std::uint16_t targetPort,
                         const std::uint8_t* address, const std::string& targetHost);

// What a whole reply says: the version is judged first, then the code.
enum class ReplyVerdict { Granted, Rejected, UnknownVersion, UnknownResponse };
ReplyVerdict judgeReply(const std::uint8_t (&reply)[kReplyLength]);

} // namespace socks
