// Tries every way to the targets at once (a direct connection to each, and every proxy that the
// system's settings name), each on a thread of its own, and records the ways that worked as the
// numbered Detected records.
#pragma once

#include "proxy/ProxyTypes.h"

#include <chrono>

class ASettingsStore;

namespace platform {
class AProxySettingsSource;
}

namespace probe {

constexpr int kMaxAttempts = 100;
constexpr std::chrono::milliseconds kWaitForAll{20000};
constexpr std::int32_t kDirectWriteOrder = 1;
constexpr std::int32_t kLastWriteOrder = 49;
constexpr const char* kDetectedRecord = "Detected";

} // namespace probe

// Returns true when at least one candidate connected. After it returns, no thread of it runs.
bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store);

// The same with the proxies that `settings` name instead of the system's.
bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store,
                   platform::AProxySettingsSource& settings);

// One attempt: fills the candidate's connected, error and elapsedMs and logs its start and end.
// Returns 1 when connected, else 0.
int probeAttempt(ProxyCandidate* candidate);
