// The SOCKS 5 CONNECT exchange with a proxy (RFC 1928), with the username/password
// sub-negotiation (RFC 1929) when the proxy's URL carried credentials.
//
//   greeting:           +-----+----------+----------+
//                       | VER | NMETHODS | METHODS  |       3 bytes, or 4 offering a password
//                       +-----+----------+----------+
//                          5     1 or 2    0 [, 2]
//
//   method choice:      +-----+--------+
//                       | VER | METHOD |                   2 bytes; 0xFF: none acceptable
//                       +-----+--------+
//                          5    0 or 2
//
//   password request:   +-----+------+----------+------+----------+
//                       | VER | ULEN |  UNAME   | PLEN |  PASSWD  |   ULEN 1 to 255, PLEN 0 to 255
//                       +-----+------+----------+------+----------+
//                          1     n     n bytes     m     m bytes
//
//   password reply:     +-----+--------+
//                       | VER | STATUS |                   2 bytes; STATUS 0 is success
//                       +-----+--------+
//                          1
//
//   request:            +-----+-----+-------+------+----------+----------+
//                       | VER | CMD |  RSV  | ATYP | DST.ADDR | DST.PORT |
//                       +-----+-----+-------+------+----------+----------+
//                          5     1      0      1: 4 bytes IPv4; 3: length byte then the name;
//                                              4: 16 bytes IPv6          port in network order
//
//   reply:              +-----+-----+-------+------+----------+----------+
//                       | VER | REP |  RSV  | ATYP | BND.ADDR | BND.PORT |
//                       +-----+-----+-------+------+----------+----------+
//                          5   0 succeeded, 1 to 8 failures; the bound address as ATYP says
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace socks5 {

constexpr std::uint8_t kVersion = 5;
constexpr std::uint8_t kMethodNoAuthentication = 0x00;
constexpr std::uint8_t kMethodPassword = 0x02;
constexpr std::uint8_t kMethodNoneAcceptable = 0xFF;
constexpr std::size_t kChoiceLength = 2;

constexpr std::uint8_t kPasswordVersion = 1;
constexpr std::uint8_t kPasswordSuccess = 0;
constexpr std::size_t kMaxCredentialLength = 255;
constexpr std::size_t kPasswordReplyLength = 2;

constexpr std::uint8_t kCommandConnect = 1;
constexpr std::uint8_t kReserved = 0;
constexpr std::uint8_t kAddressIpv4 = 1;
constexpr std::uint8_t kAddressName = 3;
constexpr std::uint8_t kAddressIpv6 = 4;
constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kPortLength = 2;

// The reply up to its address type; what follows is as long as that type says.
constexpr std::size_t kReplyHeadLength = 4;
constexpr std::size_t kReplyCodeOffset = 1;
constexpr std::size_t kReplyAddressTypeOffset = 3;
constexpr std::uint8_t kSucceeded = 0;
constexpr std::uint8_t kLastKnownFailure = 8;

constexpr std::size_t kIpv4RequestLength = 4 + 4 + kPortLength;
constexpr std::size_t kIpv6RequestLength = 4 + 16 + kPortLength;
static_assert(kIpv4RequestLength == 10, "an IPv4 request is 10 bytes");
static_assert(kIpv6RequestLength == 22, "an IPv6 request is 22 bytes");
static_assert(4 + 1 + kMaxNameLength + kPortLength == 262, "the longest name request is 262");

// The greeting: "no authentication", and username/password when `offerPassword`.
std::vector<std::uint8_t> buildGreeting(bool offerPassword);

enum class ChoiceVerdict { NoAuthentication, Password, NoneAcceptable, BadVersion, NotOffered };
ChoiceVerdict judgeChoice(const std::uint8_t (&choice)[kChoiceLength], bool offeredPassword);

// The RFC 1929 request; empty when the user name is empty or either is longer than 255. An empty
// password is sent as such (PLEN 0), as curl does for a URL without one.
std::vector<std::uint8_t> buildPasswordRequest(const std::string& user,
                                               const std::string& password);

enum class PasswordVerdict { Accepted, Refused, BadVersion };
PasswordVerdict judgePasswordReply(const std::uint8_t (&reply)[kPasswordReplyLength]);

// The CONNECT request: an IPv4 or IPv6 literal (brackets allowed) as types 1 and 4, any other
// host as a name for the proxy to resolve. Empty when a name is longer than kMaxNameLength or
// holds a CR, LF or NUL.
std::vector<std::uint8_t> buildRequest(const std::string& targetHost, std::uint16_t targetPort);

enum class ReplyVerdict { Succeeded, Failed, BadVersion, BadAddressType };
ReplyVerdict judgeReplyHead(const std::uint8_t (&head)[kReplyHeadLength]);

// What a failed reply's code means, for the log; codes above 8 are "unknown reply code".
const char* replyCodeText(std::uint8_t code);

// How many bytes of bound address and port are still to read after the head of a successful
// reply: 6 for type 1, 18 for type 4; for type 3, `nameLength` (the byte after the head, read
// first) plus 2. 0 for any other type.
std::size_t boundAddressLength(std::uint8_t addressType, std::uint8_t nameLength);

} // namespace socks5
