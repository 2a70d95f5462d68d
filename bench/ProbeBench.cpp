// How the parallel probe spends its time and resources: 100 attempts against loopback peers that
// answer after set delays, then 100 attempts that all hang. Prints figures; asserts nothing.
//
//   probe_bench [slowest-delay-ms]
#include "FakeProxySettings.h"
#include "FullListener.h"
#include "MemoryStore.h"
#include "NativeSocket.h"
#include "ProcessFigures.h"

#include "log/lprintf.h"
#include "net/ASocket.h"
#include "proxy/CTCPProxyConnector.h"
#include "proxy/DetectedProbe.h"
#include "proxy/probe/ParallelProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace {

using bench::statusField;
using Clock = std::chrono::steady_clock;

constexpr int kBacklog = 128;

// Half the attempts go direct to ports where nothing listens and fail at once; the other half go
// through this HTTP proxy, which answers each CONNECT after the delay set for its target port.
class DelayedProxy {
public:
    explicit DelayedProxy(std::map<int, int> delayByPort) : delays(std::move(delayByPort)) {
        listener = qvtest::listenOnLoopback(kBacklog, port, "DelayedProxy");
        acceptor = std::thread([this] { acceptAll(); });
    }
    ~DelayedProxy() {
        shutdown(listener, SHUT_RDWR);
        close(listener);
        acceptor.join();
    }
    std::uint16_t port = 0;

private:
    void acceptAll() {
        for (;;) {
            const int connection = accept(listener, nullptr, nullptr);
            if (connection < 0) {
                return;
            }
            std::thread([this, connection] { answer(connection); }).detach();
        }
    }
    void answer(int connection) {
        char request[1024] = {};
        const ssize_t got = recv(connection, request, sizeof request - 1, 0);
        int targetPort = 0;
        if (got > 0) {
            std::sscanf(request, "CONNECT %*[^:]:%d", &targetPort);
        }
        const auto delay = delays.find(targetPort);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(delay == delays.end() ? 0 : delay->second));
        const char reply[] = "HTTP/1.0 200 Connection established\r\n\r\n";
        send(connection, reply, sizeof reply - 1, MSG_NOSIGNAL);
        char drain[256];
        while (recv(connection, drain, sizeof drain, 0) > 0) {
        }
        close(connection);
    }

    int listener;
    std::map<int, int> delays;
    std::thread acceptor;
};

// Samples the process's thread count while a probe runs.
class ThreadSampler {
public:
    ThreadSampler()
        : sampler([this] {
              while (!stop) {
                  peak = std::max(peak.load(), statusField("Threads:"));
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~ThreadSampler() {
        stop = true;
        sampler.join();
    }
    long peakThreads() const { return peak; }

private:
    std::atomic<bool> stop{false};
    std::atomic<long> peak{0};
    std::thread sampler;
};

long elapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

} // namespace

int main(int argc, char** argv) {
    const int slowest = argc > 1 ? std::atoi(argv[1]) : 2000;
    lprintf_start("probe_bench.log", "BENCH", "", 1);
    startNetwork();

    // 50 targets on refused ports, each also reached through the proxy after its own delay,
    // spread evenly up to the slowest.
    constexpr int kTargets = probe::kMaxAttempts / 2;
    std::map<int, int> delays;
    TargetList targets;
    for (int i = 0; i < kTargets; ++i) {
        const int port = qvtest::closedLoopbackPort();
        delays[port] = slowest * (i + 1) / kTargets;
        targets.push_back({"127.0.0.1", static_cast<std::uint16_t>(port)});
    }
    DelayedProxy proxy(delays);
    qvtest::FakeSettings settings("http=127.0.0.1:" + std::to_string(proxy.port));
    qvtest::MemoryStore store;
    CTCPProxyConnector connector(nullptr, &store);

    long threadsBefore = statusField("Threads:");
    long peakThreads = 0;
    Clock::time_point start = Clock::now();
    bool found;
    {
        ThreadSampler sampler;
        found = probeDetected(&connector, targets, &store, settings);
        peakThreads = sampler.peakThreads();
    }
    const long wall = elapsedMs(start);
    std::printf("probe of %d attempts, slowest answer after %d ms: %s\n", probe::kMaxAttempts,
                slowest, found ? "found" : "NOT FOUND");
    std::printf("  wall time %ld ms, ratio to the slowest attempt %.3f\n", wall,
                static_cast<double>(wall) / slowest);
    std::printf("  threads: %ld before, %ld at the peak (sampled every ms), %ld after\n",
                threadsBefore, peakThreads, statusField("Threads:"));
    std::printf("  peak resident memory %ld kB\n", statusField("VmHWM:"));

    // Every attempt connects to a listener whose queue is full: all 100 hang until the wait ends.
    qvtest::FullListener full;
    const TargetList hanging(probe::kMaxAttempts, TargetAddress{"127.0.0.1", full.port()});
    qvtest::FakeSettings none("");
    start = Clock::now();
    probeDetected(&connector, hanging, &store, none);
    const long hangWall = elapsedMs(start);
    std::printf("probe of %d hanging attempts: %ld ms, overshoot past the %lld ms wait %ld ms\n",
                probe::kMaxAttempts, hangWall, static_cast<long long>(probe::kWaitForAll.count()),
                hangWall - static_cast<long>(probe::kWaitForAll.count()));
    std::printf("  threads after %ld, peak resident memory %ld kB\n", statusField("Threads:"),
                statusField("VmHWM:"));
    stopNetwork();
    return 0;
}
