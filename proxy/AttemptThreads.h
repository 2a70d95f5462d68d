// Attempts that run at once, each on a thread of its own and under a cancel token of its own.
// They are stopped by cancelling their tokens, never by killing their threads, which could die
// holding the heap, log or loader lock.
#pragma once

#include "net/CCancelToken.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class AttemptThreads {
public:
    AttemptThreads() = default;
    AttemptThreads(const AttemptThreads&) = delete;
    AttemptThreads& operator=(const AttemptThreads&) = delete;
    ~AttemptThreads();

    // Runs `attempt` on a new thread with its token installed. An attempt whose thread cannot be
    // started does not run.
    void start(std::function<void()> attempt);

    // Return once every attempt has ended or stopWaiting has been called, or, for waitUntil, at
    // `deadline`.
    void wait();
    void waitUntil(std::chrono::steady_clock::time_point deadline);

    // Ends the wait at once, now and later; any thread may call it.
    void stopWaiting();

    // Cancels every attempt and joins its thread: after it returns, none runs.
    void cancelAndJoin();

private:
    bool waitIsOver() const { return stopped || running == 0; }
    void finished();

    std::mutex mutex;
    std::condition_variable changed;
    std::size_t running = 0;
    bool stopped = false;
    std::vector<std::unique_ptr<CCancelToken>> tokens;
    std::vector<std::thread> threads;
};
