// The order in which the routes that worked are written as the Detected records: in passes,
// lowest first, so that direct routes head the list and the proxies from the system's settings
// follow in the order detection found them.
#pragma once

#include "proxy/methods/ProxyTypes.h"

#include <cstdint>

namespace routes {

constexpr std::int32_t kDirectWriteOrder = 1;
constexpr std::int32_t kDetectedWriteOrder = 21;
// Passes of what a configuration script names and of the machine-wide proxy: after the user's
// own static proxies, in this order.
constexpr std::int32_t kScriptWriteOrder = 22;
constexpr std::int32_t kMachineWideWriteOrder = 23;
// SOCKS 5 routes, whichever source named them, after every route that older versions wrote, so
// that readers who take the first records keep finding what they found before.
constexpr std::int32_t kSocks5WriteOrder = 24;
constexpr std::int32_t kLastWriteOrder = 49;

// The pass of a route of `method` that a source of pass `sourcePass` names.
constexpr std::int32_t writeOrderOf(ProxyMethodCode method, std::int32_t sourcePass) {
    return method == MethodSocks5 ? kSocks5WriteOrder : sourcePass;
}

} // namespace routes
