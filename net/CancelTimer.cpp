#include "net/CancelTimer.h"

#include <system_error>

CancelTimer::CancelTimer(CancelToken& token, std::chrono::milliseconds after) {
    const auto deadline = std::chrono::steady_clock::now() + after;
    try {
        watcher = std::thread([this, &token, deadline] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!dismissed.wait_until(lock, deadline, [this] { return done; })) {
                token.cancel();
            }
        });
    } catch (const std::system_error&) {
        token.cancel();
    }
}

CancelTimer::~CancelTimer() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    dismissed.notify_all();
    if (watcher.joinable()) {
        watcher.join();
    }
}
