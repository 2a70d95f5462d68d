#include "proxy/StoredRecords.h"

#include "proxy/routes/WriteOrder.h"
#include "settings/ASettingsStore.h"

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

std::vector<std::size_t> detectedOrder(const std::vector<ProxyCandidate>& candidates) {
    std::vector<std::size_t> order;
    for (std::int32_t pass = 0; pass <= routes::kLastWriteOrder; ++pass) {
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (candidates[i].connected && candidates[i].writeOrder == pass) {
                order.push_back(i);
            }
        }
    }
    return order;
}

void writeDetected(const std::vector<ProxyCandidate>& candidates, ASettingsStore& store) {
    store.setValue("", "", kDetected);
    int written = 0;
    for (const std::size_t i : detectedOrder(candidates)) {
        const ProxyCandidate& candidate = candidates[i];
        const std::string record = detectedName(written++);
        store.setValue(kProxyMethod, std::to_string(candidate.method), record);
        store.setValue(kProxyHost, candidate.proxyHost, record);
        store.setValue(kProxyPort, std::to_string(candidate.proxyPort), record);
        store.setValue(kAddress, candidate.targetHost, record);
        store.setValue(kPort, std::to_string(candidate.targetPort), record);
    }
    if (written > 0) {
        for (int index = written; index < kMaxDetected; ++index) {
            store.deleteRecord(detectedName(index));
        }
    }
}

} // namespace records
