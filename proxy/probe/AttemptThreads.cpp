#include "proxy/probe/AttemptThreads.h"

#include <system_error>
#include <utility>

AttemptThreads::~AttemptThreads() {
    cancelAndJoin();
}

void AttemptThreads::start(std::function<void()> attempt) {
    tokens.push_back(std::make_unique<CancelToken>());
    CancelToken* token = tokens.back().get();
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ++running;
    }
    try {
        threads.emplace_back([this, attempt = std::move(attempt), token] {
            {
                const CancelToken::Scope scope(*token);
                attempt();
            }
            finished();
        });
    } catch (const std::system_error&) {
        finished();
    }
}

void AttemptThreads::finished() {
    const std::lock_guard<std::mutex> lock(mutex);
    --running;
    changed.notify_all();
}

void AttemptThreads::waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_until(lock, deadline, [this] { return running == 0; });
}

void AttemptThreads::cancelAndJoin() {
    for (const std::unique_ptr<CancelToken>& token : tokens) {
        token->cancel();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    threads.clear();
}
