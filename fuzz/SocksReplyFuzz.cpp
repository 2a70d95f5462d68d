// The judgement of SOCKS replies over every byte string a proxy may send. SOCKS 4 (the first 8
// bytes): a grant only for version 0 and code 90, a rejection only for 91. SOCKS 5 (the same
// bytes read as its answers): no method accepted that was not offered, success only for version
// 5, code 0 and a known address type, a bound address never longer than the largest buffer it is
// read into, and a request built from the bytes as a host name never cut, overlong or forged.
#include "Property.h"

#include "log/LogText.h"
#include "proxy/wire/Socks5Wire.h"
#include "proxy/wire/SocksWire.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void checkSocks4(const std::uint8_t* data, const std::string& shown) {
    std::uint8_t reply[socks::kReplyLength];
    std::memcpy(reply, data, sizeof reply);
    const socks::ReplyVerdict verdict = socks::judgeReply(reply);
    fuzzing::require(verdict != socks::ReplyVerdict::Granted ||
                         (reply[0] == socks::kReplyVersion && reply[1] == socks::kGranted),
                     "a grant only for version 0, code 90", shown);
    fuzzing::require(verdict != socks::ReplyVerdict::Rejected || reply[1] == socks::kRejected,
                     "a rejection only for code 91", shown);
}

void checkSocks5Answers(const std::uint8_t* data, const std::string& shown) {
    const bool offered = (data[2] & 1) != 0;
    const std::uint8_t choice[socks5::kChoiceLength] = {data[0], data[1]};
    const socks5::ChoiceVerdict picked = socks5::judgeChoice(choice, offered);
    fuzzing::require(picked != socks5::ChoiceVerdict::Password ||
                         (offered && data[0] == 5 && data[1] == socks5::kMethodPassword),
                     "a password only where one was offered", shown);
    fuzzing::require(picked != socks5::ChoiceVerdict::NoAuthentication ||
                         (data[0] == 5 && data[1] == socks5::kMethodNoAuthentication),
                     "no authentication only for method 0", shown);

    std::uint8_t head[socks5::kReplyHeadLength];
    std::memcpy(head, data, sizeof head);
    const bool succeeded = socks5::judgeReplyHead(head) == socks5::ReplyVerdict::Succeeded;
    const std::size_t bound = socks5::boundAddressLength(head[3], data[4]);
    fuzzing::require(!succeeded || (head[0] == 5 && head[1] == 0 && bound > 0),
                     "success only for version 5, code 0 and a known address type", shown);
    fuzzing::require(bound <= socks5::kMaxNameLength + socks5::kPortLength,
                     "a bound address that fits its buffer", shown);
    const char* text = socks5::replyCodeText(head[1]);
    fuzzing::require(text != nullptr && *text != '\0', "a text for every reply code", shown);
}

void checkSocks5Request(const std::string& host, const std::string& shown) {
    const std::vector<std::uint8_t> request = socks5::buildRequest(host, 443);
    if (request.empty()) {
        return;
    }
    fuzzing::require(request.size() <= 4 + 1 + socks5::kMaxNameLength + socks5::kPortLength,
                     "a request of at most 262 bytes", shown);
    if (request[3] == socks5::kAddressName) {
        fuzzing::require(request[4] == host.size() && request.size() == 5 + host.size() + 2 &&
                             !breaksTheLine(host),
                         "a name sent whole, counted, without line breaks", shown);
    } else {
        fuzzing::require(request.size() == socks5::kIpv4RequestLength ||
                             request.size() == socks5::kIpv6RequestLength,
                         "an address request of 10 or 22 bytes", shown);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string shown(reinterpret_cast<const char*>(data), size);
    checkSocks5Request(shown, shown);
    if (size < socks::kReplyLength) {
        return 0;
    }
    checkSocks4(data, shown);
    checkSocks5Answers(data, shown);
    return 0;
}
