// The order in which the routes that worked are written as the Detected records: in passes,
// lowest first, so that direct routes head the list and the proxies from the system's settings
// follow in the order detection found them.
#pragma once

#include <cstdint>

namespace routes {

constexpr std::int32_t kDirectWriteOrder = 1;
constexpr std::int32_t kDetectedWriteOrder = 21;
// Passes of what a configuration script names and of the machine-wide proxy: after the user's
// own static proxies, in this order.
constexpr std::int32_t kScriptWriteOrder = 22;
constexpr std::int32_t kMachineWideWriteOrder = 23;
constexpr std::int32_t kLastWriteOrder = 49;

} // namespace routes
