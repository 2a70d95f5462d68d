// Cancels a token once a time has passed, unless it is dismissed first, so that whatever runs
// under the token ends by then: the same stop that ends a probe's attempts at its wait.
#pragma once

#include "net/CancelToken.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class CancelTimer {
public:
    // Starts the timer. Where no thread can be started the token is cancelled at once: a try
    // that cannot be stopped must not begin.
    CancelTimer(CancelToken& token, std::chrono::milliseconds after);
    // Dismisses the timer and waits for its thread.
    ~CancelTimer();

    CancelTimer(const CancelTimer&) = delete;
    CancelTimer& operator=(const CancelTimer&) = delete;

private:
    std::mutex mutex;
    std::condition_variable dismissed;
    bool done = false;
    std::thread watcher;
};
