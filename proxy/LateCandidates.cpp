#include "proxy/LateCandidates.h"

#include "proxy/StoredRecords.h"

#include "log/LogText.h"
#include "log/lprintf.h"
#include "net/CCancelToken.h"
#include "platform/DetachedThread.h"
#include "proxy/AttemptThreads.h"
#include "proxy/ParallelProbe.h"
#include "proxy/ProxyScriptAnswer.h"
#include "proxy/UniqueRoutes.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// Shared by this thread and the script helpers, which may outlive it, so whichever ends last
// frees it.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false; // the probe's time is up
    std::vector<std::optional<platform::ProxyScriptAnswer>> answers;
    std::vector<int> answerMs;
    std::size_t answered = 0;
};

int msSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

void askScripts(const std::vector<ProxyScriptJob>& jobs, const std::shared_ptr<Shared>& shared) {
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
    shared->changed.wait_until(lock, start + kScriptDeadline,
                               [&] { return shared->stopped || shared->answered == jobs.size(); });
}

// The candidates one answer names for its target, with their log lines.
std::vector<ProxyCandidate> candidatesOf(const ProxyScriptJob& job,
                                         const std::optional<platform::ProxyScriptAnswer>& answer,
                                         int elapsedMs, CTCPProxyConnector* connector) {
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
    lprintf("PROXY: Proxy script answered '%s' [%dms]\n", loggableSetting(answer->proxies).c_str(),
            elapsedMs);
    const ScriptAnswerEntries entries = parseScriptAnswer(answer->proxies);
    for (const std::string& entry : entries.unusable) {
        lprintf("PROXY: Not usable: script=%s\n", printable(entry).c_str());
    }
    ProxyCandidate candidate(connector);
    candidate.targetHost = job.target.host;
    candidate.targetPort = job.target.port;
    candidate.writeOrder = records::kScriptWriteOrder;
    for (const ScriptProxy& proxy : entries.proxies) {
        candidate.method = proxy.method;
        candidate.proxyHost = proxy.host;
        candidate.proxyPort = proxy.port;
        found.push_back(candidate);
    }
    return found;
}

bool listed(const std::vector<ProxyCandidate>& list, const ProxyCandidate& candidate) {
    return std::any_of(list.begin(), list.end(), [&candidate](const ProxyCandidate& other) {
        return sameRoute(candidate, other);
    });
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
        lprintf("PROXY: %s 'script' %s:%d\n", what, printable(candidate.proxyHost).c_str(),
                candidate.proxyPort);
    }
}

// Tries every candidate of `late` at once until all have ended or the probe's token, when there
// is one, is cancelled.
void tryAll(std::vector<ProxyCandidate>& late, CCancelToken* probeToken) {
    AttemptThreads attempts;
    if (probeToken != nullptr && !probeToken->arm([&attempts] { attempts.stopWaiting(); })) {
        return;
    }
    for (ProxyCandidate& candidate : late) {
        attempts.start([&candidate] { probeAttempt(&candidate); });
    }
    attempts.wait();
    if (probeToken != nullptr) {
        probeToken->disarm();
    }
    attempts.cancelAndJoin();
}

} // namespace

void runLateCandidates(std::vector<ProxyScriptJob> jobs, CTCPProxyConnector* connector,
                       const std::vector<ProxyCandidate>& started, std::size_t freeSlots,
                       std::vector<ProxyCandidate>& late) {
    auto shared = std::make_shared<Shared>();
    CCancelToken* const token = CCancelToken::current();
    const bool armed = token == nullptr || token->arm([shared] {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->stopped = true;
        shared->changed.notify_all();
    });
    if (!armed) {
        return;
    }
    askScripts(jobs, shared);
    if (token != nullptr) {
        token->disarm();
    }
    std::vector<std::optional<platform::ProxyScriptAnswer>> answers;
    std::vector<int> answerMs;
    bool stopped;
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        answers = shared->answers;
        answerMs = shared->answerMs;
        stopped = shared->stopped;
    }
    // A probe that has stopped waiting writes nothing more about its attempts.
    if (!stopped) {
        std::vector<ProxyCandidate> arriving;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            for (ProxyCandidate& candidate :
                 candidatesOf(jobs[i], answers[i], answerMs[i], connector)) {
                arriving.push_back(std::move(candidate));
            }
        }
        late = newRoutes(started, arriving);
        if (late.size() > freeSlots) {
            late.erase(late.begin() + static_cast<std::ptrdiff_t>(freeSlots), late.end());
        }
        logArrivals(started, arriving, late);
        tryAll(late, token);
    }
}
