// Lets one thread stop what another is blocked on in the socket layer: a name lookup, a connect,
// a send or a receive. A thread installs a token with a Scope; the socket layer finds it there,
// so the socket classes keep their signatures. Threads are never killed: a killed thread can die
// holding a lock that the rest of the program then waits for.
#pragma once

#include <functional>
#include <mutex>

class CancelToken {
public:
    CancelToken() = default;
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    // Wakes the operation blocked now; every later one under this token fails at once.
    void cancel();

    // Runs `action` unless the token is cancelled, and holds a cancel off until it has returned,
    // so that nothing it does can come after the cancel. True when it ran.
    template <typename Action>
    bool unlessCancelled(Action action) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (cancelled) {
            return false;
        }
        action();
        return true;
    }

    // The token installed on the calling thread, or null.
    static CancelToken* current();

    // Installs a token on the calling thread for the scope's lifetime.
    class Scope {
    public:
        explicit Scope(CancelToken& token);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CancelToken* previous;
    };

    // For the socket layer: `wake` makes the operation about to block return. It runs at most
    // once, on the cancelling thread, under the token's lock. Returns false, installing nothing,
    // when the token is already cancelled.
    bool arm(std::function<void()> wake);
    // Ends the watch that arm began; true when cancel woke the operation.
    bool disarm();

private:
    std::mutex mutex;
    bool cancelled = false;
    bool woke = false;
    std::function<void()> waker;
};
