#include "proxy/StoredRecords.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace records {

std::string detectedName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%04d", kDetectedPrefix, index);
    return name;
}

std::int32_t readInteger(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

bool isStale(const TargetList& targets, const std::string& address, std::int32_t port) {
    const TargetAddress stored{address, static_cast<std::uint16_t>(port)};
    for (const TargetAddress& target : targets) {
        if (target == stored) {
            return false;
        }
    }
    return true;
}

} // namespace records
