#include "proxy/ParallelProbe.h"

#include "platform/ProxySettings.h"
#include "proxy/AttemptLog.h"
#include "proxy/AttemptThreads.h"
#include "proxy/CTCPProxyConnector.h"
#include "proxy/LateCandidates.h"
#include "proxy/ProxySettingsDetection.h"
#include "proxy/StoredRecords.h"
#include "proxy/UniqueRoutes.h"
#include "settings/ASettingsStore.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace {

// The attempt as its start and end lines name it: method, target and, for a proxy, "via" it.
// Each line is written by one log call, so the lines of attempts running at once stay whole.
std::string attemptName(const ProxyCandidate& candidate) {
    std::string name = "PROXY: [" + std::to_string(candidate.method) + "] [" +
                       candidate.targetHost + ":" + std::to_string(candidate.targetPort) + "]";
    if (candidate.method > 0) {
        name += "via[" + candidate.proxyHost + ":" + std::to_string(candidate.proxyPort) + "]";
    }
    return name;
}

// Tries the candidates, up to the most attempts, each on a thread of its own, and the routes the
// scripts name as they arrive, until all have ended or the wait is over; then stops the rest.
// The late routes join `candidates` once every thread has been joined. After it returns, no
// thread of it runs.
void runAttempts(CTCPProxyConnector* connector, std::vector<ProxyCandidate>& candidates,
                 std::vector<ProxyScriptJob> scripts) {
    const std::size_t attempts =
        std::min(candidates.size(), static_cast<std::size_t>(probe::kMaxAttempts));
    AttemptThreads threads;
    for (std::size_t i = 0; i < attempts; ++i) {
        ProxyCandidate* candidate = &candidates[i];
        threads.start([candidate] { probeAttempt(candidate); });
    }
    // The script's proxies join on a thread of their own as soon as it answers, and share the
    // attempts' wait and cancellation.
    std::vector<ProxyCandidate> late;
    if (!scripts.empty()) {
        threads.start([&scripts, connector, &candidates, attempts, &late] {
            runLateCandidates(std::move(scripts), connector, candidates,
                              static_cast<std::size_t>(probe::kMaxAttempts) - attempts, late);
        });
    }
    threads.waitUntil(std::chrono::steady_clock::now() + probe::kWaitForAll);
    threads.cancelAndJoin();
    candidates.insert(candidates.end(), late.begin(), late.end());
}

// Writes the routes that worked as the Detected list.
void recordConnected(const std::vector<ProxyCandidate>& candidates, ASettingsStore* store) {
    store->setValue("", "", records::kDetected);
    int written = 0;
    for (std::int32_t order = 0; order <= records::kLastWriteOrder; ++order) {
        for (const ProxyCandidate& candidate : candidates) {
            if (!candidate.connected || candidate.writeOrder != order) {
                continue;
            }
            const std::string record = records::detectedName(written++);
            store->setValue(records::kProxyMethod, std::to_string(candidate.method), record);
            store->setValue(records::kProxyHost, candidate.proxyHost, record);
            store->setValue(records::kProxyPort, std::to_string(candidate.proxyPort), record);
            store->setValue(records::kAddress, candidate.targetHost, record);
            store->setValue(records::kPort, std::to_string(candidate.targetPort), record);
        }
    }
    // Records left from an earlier probe would name routes that no longer work. A probe that
    // reached nothing keeps them: an outage then loses nothing.
    if (written > 0) {
        for (int index = written; index < records::kMaxDetected; ++index) {
            store->deleteRecord(records::detectedName(index));
        }
    }
}

} // namespace

int probeAttempt(ProxyCandidate* candidate) {
    const auto start = std::chrono::steady_clock::now();
    const std::string name = attemptName(*candidate);
    attemptLog("%s\n", name.c_str());
    candidate->elapsedMs = -1;
    candidate->connected = candidate->connector->connect(
        candidate->targetHost, candidate->targetPort, candidate->method, candidate->proxyHost,
        candidate->proxyPort);
    candidate->error = candidate->connector->getLastError();
    candidate->elapsedMs =
        static_cast<std::int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count());
    attemptLog("%s [%s:%d] [%dms]\n", name.c_str(), candidate->connected ? "OK" : "ERROR",
               candidate->error, candidate->elapsedMs);
    return candidate->connected ? 1 : 0;
}

std::vector<ProxyCandidate> gatherCandidates(CTCPProxyConnector* connector,
                                             const TargetList& targets,
                                             platform::AProxySettingsSource& settings,
                                             std::vector<ProxyScriptJob>& scripts) {
    std::vector<ProxyCandidate> candidates;
    ProxyCandidate direct(connector);
    direct.method = MethodDirect;
    direct.writeOrder = records::kDirectWriteOrder;
    for (const TargetAddress& target : targets) {
        direct.targetHost = target.host;
        direct.targetPort = target.port;
        candidates.push_back(direct);
    }
    detectProxySettings(connector, candidates, targets, settings, scripts);
    return uniqueRoutes({candidates});
}

bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store) {
    return probeDetected(connector, std::move(targets), store, platform::systemProxySettings());
}

bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store,
                   platform::AProxySettingsSource& settings) {
    std::vector<ProxyScriptJob> scripts;
    std::vector<ProxyCandidate> candidates =
        gatherCandidates(connector, targets, settings, scripts);
    runAttempts(connector, candidates, std::move(scripts));
    recordConnected(candidates, store);
    return std::any_of(candidates.begin(), candidates.end(),
                       [](const ProxyCandidate& candidate) { return candidate.connected; });
}
