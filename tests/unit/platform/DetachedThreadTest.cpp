#include "platform/DetachedThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Each helper starts while the one before may still be ending: the moment at which a thread
// detached after its start could be lost and never run.
TEST(DetachedThread, EveryHelperRunsThoughTheOneBeforeIsStillEnding) {
    constexpr int kHelpers = 1000;
    constexpr auto kPatience = std::chrono::seconds(10);
    struct Signal {
        std::mutex mutex;
        std::condition_variable changed;
        int ran = 0;
    };
    const auto signal = std::make_shared<Signal>();
    for (int i = 0; i < kHelpers; ++i) {
        ASSERT_TRUE(platform::startDetachedThread([signal] {
            const std::lock_guard<std::mutex> lock(signal->mutex);
            ++signal->ran;
            signal->changed.notify_all();
        }));
        std::unique_lock<std::mutex> lock(signal->mutex);
        ASSERT_TRUE(signal->changed.wait_for(lock, kPatience, [&] { return signal->ran == i + 1; }))
            << "helper " << i << " never ran";
    }
}

} // namespace
