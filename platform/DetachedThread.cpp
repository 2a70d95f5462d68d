#include "platform/DetachedThread.h"

#include <memory>
#include <pthread.h>

namespace platform {
namespace {

// An exception that escapes `work` ends the program, as it would from a std::thread.
void* runDetached(void* raw) noexcept {
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(raw));
    (*work)();
    return nullptr;
}

} // namespace

bool startDetachedThread(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        return false;
    }
    pthread_t thread;
    const bool started = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                         pthread_create(&thread, &attributes, runDetached, owned.get()) == 0;
    pthread_attr_destroy(&attributes);
    if (started) {
        owned.release();
    }
    return started;
}

} // namespace platform
