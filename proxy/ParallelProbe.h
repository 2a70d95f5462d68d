// Tries every way to the targets at once (a direct connection to each, and every proxy that the
// system's settings name), each on a thread of its own, and records the ways that worked as the
// numbered Detected records.
#pragma once

#include "proxy/ProxyTypes.h"

#include <chrono>
#include <vector>

class ASettingsStore;
struct ProxyScriptJob;

namespace platform {
class AProxySettingsSource;
}

namespace probe {

constexpr int kMaxAttempts = 100;
constexpr std::chrono::milliseconds kWaitForAll{20000};

} // namespace probe

// Returns true when at least one candidate connected. After it returns, no thread of it runs.
bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store);

// The same with the proxies that `settings` name instead of the system's.
bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store,
                   platform::AProxySettingsSource& settings);

// The candidates of a probe, in the order they are tried, each route once: a direct one per
// target, then those of the proxies that `settings` name. The configuration scripts that the
// settings ask for go to `scripts`, to be run while the candidates are tried.
std::vector<ProxyCandidate> gatherCandidates(CTCPProxyConnector* connector,
                                             const TargetList& targets,
                                             platform::AProxySettingsSource& settings,
                                             std::vector<ProxyScriptJob>& scripts);

// One attempt: fills the candidate's connected, error and elapsedMs and logs its start and end.
// Returns 1 when connected, else 0. Stopped by the probe, it writes nothing more to the log.
int probeAttempt(ProxyCandidate* candidate);
