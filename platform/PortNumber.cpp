#include "platform/PortNumber.h"

namespace platform {

namespace {

constexpr std::size_t kMaxDigits = 5;

} // namespace

bool parsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > kMaxDigits) {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        // Compared as ASCII, not with isdigit, whose answer depends on the locale.
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value < kMinPort || value > kMaxPort) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace platform
