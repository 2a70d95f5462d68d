// The judgement of a SOCKS 4 reply over every 8 bytes a proxy may send: it grants the tunnel
// only for version 0 and code 90, and calls a rejection only what says 91.
#include "Property.h"

#include "proxy/wire/SocksWire.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < socks::kReplyLength) {
        return 0;
    }
    std::uint8_t reply[socks::kReplyLength];
    std::memcpy(reply, data, sizeof reply);
    const socks::ReplyVerdict verdict = socks::judgeReply(reply);
    const std::string shown(reinterpret_cast<const char*>(reply), sizeof reply);
    fuzzing::require(verdict != socks::ReplyVerdict::Granted ||
                         (reply[0] == socks::kReplyVersion && reply[1] == socks::kGranted),
                     "a grant only for version 0, code 90", shown);
    fuzzing::require(verdict != socks::ReplyVerdict::Rejected || reply[1] == socks::kRejected,
                     "a rejection only for code 91", shown);
    return 0;
}
