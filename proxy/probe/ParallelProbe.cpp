#include "proxy/probe/ParallelProbe.h"

#include "net/HostText.h"
#include "proxy/methods/AttemptLog.h"
#include "proxy/methods/RouteTry.h"
#include "proxy/probe/AttemptThreads.h"
#include "proxy/probe/LateCandidates.h"
#include "proxy/routes/ProxySettingsDetection.h"
#include "proxy/routes/UniqueRoutes.h"
#include "proxy/routes/WriteOrder.h"

#include <algorithm>
#include <string>
#include <utility>

namespace probe {

namespace {

using Clock = std::chrono::steady_clock;

// The attempt as its start and end lines name it: method, target and, for a proxy, "via" it.
// Each line is written by one log call, so the lines of attempts running at once stay whole.
std::string attemptName(const ProxyCandidate& candidate) {
    std::string name = "PROXY: [" + std::to_string(candidate.method) + "] [" +
                       net::hostAndPortText(candidate.targetHost, candidate.targetPort) + "]";
    if (candidate.method > 0) {
        name += "via[" + net::hostAndPortText(candidate.proxyHost, candidate.proxyPort) + "]";
    }
    return name;
}

// One attempt: fills the candidate's connected, error and elapsedMs and logs its start and end;
// the stream goes to `kept` when there is one, else it is closed. Stopped by the probe, it writes
// nothing more to the log.
void attempt(ProxyCandidate& candidate, OwnedStream* kept) {
    const auto start = Clock::now();
    const std::string name = attemptName(candidate);
    attemptLog("%s\n", name.c_str());
    candidate.elapsedMs = -1;
    methods::TryOutcome outcome = candidate.connector->tryRoute(methods::routeOf(candidate));
    candidate.connected = outcome.connected();
    candidate.error = outcome.error;
    candidate.elapsedMs = static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    attemptLog("%s [%s:%d] [%dms]\n", name.c_str(), candidate.connected ? "OK" : "ERROR",
               candidate.error, candidate.elapsedMs);
    if (kept != nullptr) {
        *kept = std::move(outcome.stream);
    }
}

// Starts an attempt for each of `list`, whose slots stay where they are until the threads are
// joined: the list and `streams` are sized before the first start.
void startAll(AttemptThreads& threads, std::vector<ProxyCandidate>& list,
              std::vector<OwnedStream>& streams, std::size_t count, bool keepStreams) {
    streams.clear();
    for (std::size_t i = 0; i < list.size(); ++i) {
        streams.emplace_back(nullptr);
    }
    for (std::size_t i = 0; i < count; ++i) {
        ProxyCandidate* candidate = &list[i];
        OwnedStream* kept = keepStreams ? &streams[i] : nullptr;
        threads.start([candidate, kept] { attempt(*candidate, kept); });
    }
}

} // namespace

std::vector<ProxyCandidate> gatherCandidates(methods::RouteTrier* trier, const TargetList& targets,
                                             platform::ProxySettingsSource& settings,
                                             std::vector<ProxyScriptJob>& scripts) {
    std::vector<ProxyCandidate> candidates;
    ProxyCandidate direct(trier);
    direct.method = MethodDirect;
    direct.writeOrder = routes::kDirectWriteOrder;
    for (const TargetAddress& target : targets) {
        direct.targetHost = target.host;
        direct.targetPort = target.port;
        candidates.push_back(direct);
    }
    detectProxySettings(trier, candidates, targets, settings, scripts);
    return uniqueRoutes({candidates});
}

// The candidates are tried up to the most attempts; the routes the scripts name join the same
// group of attempts as soon as the scripts have answered, while there are slots left.
Findings run(methods::RouteTrier& trier, const TargetList& targets,
             platform::ProxySettingsSource& settings, const Options& options) {
    const Clock::time_point end = Clock::now() + options.wait;
    std::vector<ProxyScriptJob> scripts;
    Findings findings;
    findings.candidates = gatherCandidates(&trier, targets, settings, scripts);
    const std::size_t attempts =
        std::min(findings.candidates.size(), static_cast<std::size_t>(kMaxAttempts));
    AttemptThreads threads;
    startAll(threads, findings.candidates, findings.streams, attempts, options.keepStreams);
    std::vector<ProxyCandidate> late;
    std::vector<OwnedStream> lateStreams;
    if (!scripts.empty()) {
        late = lateCandidates(std::move(scripts), &trier, findings.candidates,
                              static_cast<std::size_t>(kMaxAttempts) - attempts, end);
        startAll(threads, late, lateStreams, late.size(), options.keepStreams);
    }
    threads.waitUntil(end);
    threads.cancelAndJoin();
    for (std::size_t i = 0; i < late.size(); ++i) {
        findings.candidates.push_back(std::move(late[i]));
        findings.streams.push_back(std::move(lateStreams[i]));
    }
    return findings;
}

} // namespace probe
