#include "proxy/probe/LateCandidates.h"

#include "proxy/routes/WriteOrder.h"

#include "log/lprintf.h"
#include "net/CancelToken.h"
#include "net/HostText.h"
#include "platform/DetachedThread.h"
#include "proxy/probe/AttemptThreads.h"
#include "proxy/probe/ParallelProbe.h"
#include "proxy/routes/ProxyList.h"
#include "proxy/routes/ProxyScriptAnswer.h"
#include "proxy/routes/UniqueRoutes.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace probe {

namespace {

using Clock = std::chrono::steady_clock;

// Shared by this thread and the script helpers, which may outlive it, so whichever ends last
// frees it.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<platform::ProxyScriptAnswer>> answers;
    std::vector<int> answerMs;
    std::size_t answered = 0;
};

int msSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Returns true when the probe's time is not over yet.
bool askScripts(const std::vector<ProxyScriptJob>& jobs, const std::shared_ptr<Shared>& shared,
                Clock::time_point probeEnd) {
    const Clock::time_point start = Clock::now();
    shared->answers.resize(jobs.size());
    shared->answerMs.resize(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        platform::ProxyScriptQuery query = jobs[i].query;
        auto finish = [shared, i, start](platform::ProxyScriptAnswer answer) {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->answers[i] = std::move(answer);
            shared->answerMs[i] = msSince(start);
            ++shared->answered;
            shared->changed.notify_all();
        };
        if (!platform::startDetachedThread([query, finish] { finish(query()); })) {
            platform::ProxyScriptAnswer failed;
            failed.failed = true;
            finish(failed);
        }
    }
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->changed.wait_until(lock, std::min(start + kScriptDeadline, probeEnd),
                               [&] { return shared->answered == jobs.size(); });
    return Clock::now() < probeEnd;
}

// The candidates one answer names for its target, with their log lines.
std::vector<ProxyCandidate> candidatesOf(const ProxyScriptJob& job,
                                         const std::optional<platform::ProxyScriptAnswer>& answer,
                                         int elapsedMs, methods::RouteTrier* trier) {
    std::vector<ProxyCandidate> found;
    if (!answer) {
        lprintf("PROXY: Proxy script gave no answer within %dms\n",
                static_cast<int>(kScriptDeadline.count()));
        return found;
    }
    if (answer->failed) {
        lprintf("PROXY: Proxy script failed %d [%dms]\n", static_cast<int>(answer->error),
                elapsedMs);
        return found;
    }
    lprintf("PROXY: Proxy script answered '%s' [%dms]\n",
            routes::listWithoutUserInfo(answer->proxies).c_str(), elapsedMs);
    const ScriptAnswerEntries entries = parseScriptAnswer(answer->proxies);
    for (const std::string& entry : entries.unusable) {
        lprintf("PROXY: Not usable: script=%s\n", entry.c_str());
    }
    ProxyCandidate candidate(trier);
    candidate.targetHost = job.target.host;
    candidate.targetPort = job.target.port;
    for (const ScriptProxy& proxy : entries.proxies) {
        candidate.method = proxy.method;
        candidate.writeOrder = routes::writeOrderOf(proxy.method, routes::kScriptWriteOrder);
        candidate.proxyHost = proxy.host;
        candidate.proxyPort = proxy.port;
        found.push_back(candidate);
    }
    return found;
}

// Which of the script's proxies are tried, which were candidates already, and which found no
// free attempt slot.
void logArrivals(const std::vector<ProxyCandidate>& started,
                 const std::vector<ProxyCandidate>& arriving,
                 const std::vector<ProxyCandidate>& late) {
    for (auto arrival = arriving.begin(); arrival != arriving.end(); ++arrival) {
        const ProxyCandidate& candidate = *arrival;
        // Of the started candidates only the routes are read: their attempts are running and
        // write their outcomes meanwhile.
        const bool seen = listed(started, candidate) ||
                          std::any_of(arriving.begin(), arrival, [&candidate](const auto& earlier) {
                              return sameRoute(candidate, earlier);
                          });
        const char* what = seen                      ? "Already a candidate:"
                           : listed(late, candidate) ? "Try"
                                                     : "No attempt slot left for";
        lprintf("PROXY: %s 'script' %s\n", what,
                net::hostAndPortText(candidate.proxyHost, candidate.proxyPort).c_str());
    }
}

} // namespace

std::vector<ProxyCandidate> lateCandidates(std::vector<ProxyScriptJob> jobs,
                                           methods::RouteTrier* trier,
                                           const std::vector<ProxyCandidate>& started,
                                           std::size_t freeSlots, Clock::time_point probeEnd) {
    auto shared = std::make_shared<Shared>();
    // A probe that has stopped waiting writes nothing more about its attempts.
    if (!askScripts(jobs, shared, probeEnd)) {
        return {};
    }
    std::vector<ProxyCandidate> arriving;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            for (ProxyCandidate& candidate :
                 candidatesOf(jobs[i], shared->answers[i], shared->answerMs[i], trier)) {
                arriving.push_back(std::move(candidate));
            }
        }
    }
    std::vector<ProxyCandidate> late = newRoutes(started, arriving);
    if (late.size() > freeSlots) {
        late.erase(late.begin() + static_cast<std::ptrdiff_t>(freeSlots), late.end());
    }
    logArrivals(started, arriving, late);
    return late;
}

} // namespace probe
