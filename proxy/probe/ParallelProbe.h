// Tries every way to the targets at once (a direct connection to each, and every proxy that the
// system's settings and their configuration script name), each on a thread of its own, and gives
// back what became of each. It only proves routes: which stream goes to whom and which records
// are written is for its caller to settle, once every attempt has ended.
#pragma once

#include "proxy/methods/OwnedStream.h"
#include "proxy/methods/ProxyTypes.h"

#include <chrono>
#include <vector>

struct ProxyScriptJob;

namespace platform {
class ProxySettingsSource;
}

namespace probe {

constexpr int kMaxAttempts = 100;
constexpr std::chrono::milliseconds kWaitForAll{20000};

struct Options {
    std::chrono::milliseconds wait = kWaitForAll;
    // Keep the streams of the attempts that connected for the caller; else each is closed as
    // soon as it has proved its route.
    bool keepStreams = false;
};

struct Findings {
    std::vector<ProxyCandidate> candidates; // in the order they were tried, outcomes filled in
    std::vector<OwnedStream> streams;       // with keepStreams, candidate i's open stream, if any
};

// Gathers the candidates over `settings`, each trying through `trier`, and tries them until all
// have ended or the wait is over. After it returns, no thread of it runs.
Findings run(methods::RouteTrier& trier, const TargetList& targets,
             platform::ProxySettingsSource& settings, const Options& options);

// The candidates of a probe, in the order they are tried, each route once: a direct one per
// target, then those of the proxies that `settings` name. The configuration scripts that the
// settings ask for go to `scripts`, to be run while the candidates are tried.
std::vector<ProxyCandidate> gatherCandidates(methods::RouteTrier* trier, const TargetList& targets,
                                             platform::ProxySettingsSource& settings,
                                             std::vector<ProxyScriptJob>& scripts);

} // namespace probe
