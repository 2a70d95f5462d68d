#include "net/CancelToken.h"

#include <utility>

namespace {
thread_local CancelToken* installedToken = nullptr;
}

void CancelToken::cancel() {
    std::lock_guard<std::mutex> lock(mutex);
    if (cancelled) {
        return;
    }
    cancelled = true;
    if (waker) {
        woke = true;
        waker();
        waker = nullptr;
    }
}

CancelToken* CancelToken::current() {
    return installedToken;
}

CancelToken::Scope::Scope(CancelToken& token) : previous(installedToken) {
    installedToken = &token;
}

CancelToken::Scope::~Scope() {
    installedToken = previous;
}

bool CancelToken::arm(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(mutex);
    if (cancelled) {
        return false;
    }
    woke = false;
    waker = std::move(wake);
    return true;
}

bool CancelToken::disarm() {
    std::lock_guard<std::mutex> lock(mutex);
    waker = nullptr;
    const bool wasWoken = woke;
    woke = false;
    return wasWoken;
}
