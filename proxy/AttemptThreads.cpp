#include "proxy/AttemptThreads.h"

#include <system_error>
#include <utility>

AttemptThreads::~AttemptThreads() {
    cancelAndJoin();
}

void AttemptThreads::start(std::function<void()> attempt) {
    tokens.push_back(std::make_unique<CCancelToken>());
    CCancelToken* token = tokens.back().get();
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ++running;
    }
    try {
        threads.emplace_back([this, attempt = std::move(attempt), token] {
            {
                const CCancelToken::Scope scope(*token);
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

void AttemptThreads::wait() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return waitIsOver(); });
}

void AttemptThreads::waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_until(lock, deadline, [this] { return waitIsOver(); });
}

void AttemptThreads::stopWaiting() {
    const std::lock_guard<std::mutex> lock(mutex);
    stopped = true;
    changed.notify_all();
}

void AttemptThreads::cancelAndJoin() {
    for (const std::unique_ptr<CCancelToken>& token : tokens) {
        token->cancel();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    threads.clear();
}
