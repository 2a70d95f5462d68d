#include "net/CCancelToken.h"

#include <utility>

namespace {
thread_local CCancelToken* installedToken = nullptr;
}

void CCancelToken::cancel() {
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

CCancelToken* CCancelToken::current() {
    return installedToken;
}

CCancelToken::Scope::Scope(CCancelToken& token) : previous(installedToken) {
    installedToken = &token;
}

CCancelToken::Scope::~Scope() {
    installedToken = previous;
}

bool CCancelToken::arm(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(mutex);
    if (cancelled) {
        return false;
    }
    woke = false;
    waker = std::move(wake);
    return true;
}

bool CCancelToken::disarm() {
    std::lock_guard<std::mutex> lock(mutex);
    waker = nullptr;
    const bool wasWoken = woke;
    woke = false;
    return wasWoken;
}
