// The probe against nothing but hanging routes, again and again: the direct attempt goes to a
// target whose listener has a full queue, and every proxy hangs, whether silent, behind a full
// queue, or answering one byte a second. Prints how far past the wait each probe ends and the
// threads and descriptors before and after; asserts nothing.
//
//   stress_bench [runs]
#include "FakeProxySettings.h"
#include "FullListener.h"
#include "HangingProxies.h"
#include "MemoryStore.h"
#include "ProcessFigures.h"

#include "log/lprintf.h"
#include "net/ASocket.h"
#include "proxy/CTCPProxyConnector.h"
#include "proxy/DetectedProbe.h"
#include "proxy/probe/ParallelProbe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRuns = 20;
// With the direct attempt, one probe's worth of attempts: every one of them hangs.
constexpr int kSilent = 33;
constexpr int kTrickling = 33;
constexpr int kFullQueue = probe::kMaxAttempts - 1 - kSilent - kTrickling;
// Time for the proxies' side to notice the attempts' closes before the descriptors are counted.
constexpr auto kSettle = std::chrono::seconds(2);

std::string loopback(std::uint16_t port) {
    return "127.0.0.1:" + std::to_string(port);
}

// One server text per proxy; silent and full-queue proxies alternate between CONNECT and SOCKS,
// trickling ones are CONNECT, whose answer has no fixed length.
std::vector<std::string>
serverTexts(const bench::HangingProxies& hanging,
            const std::vector<std::unique_ptr<qvtest::FullListener>>& full) {
    std::vector<std::string> texts;
    int i = 0;
    auto scheme = [&i] { return ++i % 2 == 0 ? "socks=" : "http="; };
    for (const std::uint16_t port : hanging.silentPorts()) {
        texts.push_back(scheme() + loopback(port));
    }
    for (const auto& listener : full) {
        texts.push_back(scheme() + loopback(listener->port()));
    }
    for (const std::uint16_t port : hanging.tricklingPorts()) {
        texts.push_back("http=" + loopback(port));
    }
    return texts;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    lprintf_start("stress_bench.log", "STRESS", "", 1);
    startNetwork();

    const qvtest::FullListener target;
    std::vector<std::unique_ptr<qvtest::FullListener>> full;
    for (int i = 0; i < kFullQueue; ++i) {
        full.push_back(std::make_unique<qvtest::FullListener>());
    }
    const bench::HangingProxies hanging(kSilent, kTrickling);
    qvtest::FakeSettings settings = qvtest::FakeSettings::listing(serverTexts(hanging, full));
    const TargetList targets{{"127.0.0.1", target.port()}};
    qvtest::MemoryStore store;
    CTCPProxyConnector connector(nullptr, &store);

    const long threadsBefore = bench::statusField("Threads:");
    const long descriptorsBefore = bench::openDescriptors();
    std::printf("%d probes of %d hanging attempts: direct behind a full queue, %d silent, %d "
                "full-queue and %d trickling proxies\n",
                runs, probe::kMaxAttempts, kSilent, kFullQueue, kTrickling);
    const long waitMs = static_cast<long>(probe::kWaitForAll.count());
    std::vector<long> overshoots;
    int found = 0;
    for (int run = 1; run <= runs; ++run) {
        const Clock::time_point start = Clock::now();
        found += probeDetected(&connector, targets, &store, settings) ? 1 : 0;
        const long wall = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        overshoots.push_back(wall - waitMs);
        std::printf(
            "  run %2d: %ld ms, %ld ms past the %ld ms wait; threads %ld, descriptors %ld\n", run,
            wall, wall - waitMs, waitMs, bench::statusField("Threads:"), bench::openDescriptors());
        std::fflush(stdout);
    }
    std::this_thread::sleep_for(kSettle);

    std::sort(overshoots.begin(), overshoots.end());
    std::printf("past the wait: slowest %ld ms, median %ld ms, fastest %ld ms; routes found %d\n",
                overshoots.back(), overshoots[overshoots.size() / 2], overshoots.front(), found);
    std::printf("threads %ld before, %ld after; descriptors %ld before, %ld after\n", threadsBefore,
                bench::statusField("Threads:"), descriptorsBefore, bench::openDescriptors());
    std::printf("peak resident memory %ld kB\n", bench::statusField("VmHWM:"));
    stopNetwork();
    return 0;
}
