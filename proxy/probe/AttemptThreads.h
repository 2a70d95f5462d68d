// Attempts that run at once, each on a thread of its own and under a cancel token of its own.
// They are stopped by cancelling their tokens, never by killing their threads, which could die
// holding the heap, log or loader lock.
#pragma once

#include "net/CancelToken.h"

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

    // Returns once every attempt has ended, or at `deadline`.
    void waitUntil(std::chrono::steady_clock::time_point deadline);

    // Cancels every attempt and joins its thread: after it returns, none runs.
    void cancelAndJoin();

private:
    void finished();

    std::mutex mutex;
    std::condition_variable changed;
    std::size_t running = 0;
    std::vector<std::unique_ptr<CancelToken>> tokens;
    std::vector<std::thread> threads;
};
