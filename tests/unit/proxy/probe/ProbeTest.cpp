// The parallel probe over scripted peers: what it tries, in which order it records what worked,
// and that it ends at its wait with every thread joined when attempts hang.
#include "FakeProxySettings.h"
#include "FullListener.h"
#include "LogCapture.h"
#include "MemoryStore.h"
#include "ScriptedPeer.h"
#include "TestSupport.h"

#include "net/ASocket.h"
#include "platform/ProxySettings.h"
#include "proxy/CTCPProxyConnector.h"
#include "proxy/DetectedProbe.h"
#include "proxy/probe/ParallelProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using qvtest::FakeSettings;
using qvtest::MemoryStore;
using qvtest::ScriptedPeer;

std::string at(std::uint16_t port) {
    return "127.0.0.1:" + std::to_string(port);
}

int attemptLines(const qvtest::LogCapture& log, const std::string& start) {
    return static_cast<int>(log.linesStartingWith(start).size());
}

class ProbeTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, startNetwork()); }
    void TearDown() override { stopNetwork(); }

    std::string record(int index, const char* value) const {
        char name[16];
        std::snprintf(name, sizeof name, "Detected\\%04d", index);
        return store.at(name, value);
    }

    MemoryStore store{"store"};
    CTCPProxyConnector connector{nullptr, &store};
    qvtest::LogCapture log;
    const std::uint16_t closed = ScriptedPeer::closedPort();
};

TEST_F(ProbeTest, WorkingProxiesAreRecordedInOrderAndTheBlockedDirectRouteIsNot) {
    ScriptedPeer http;
    http.receiveUntil("\r\n\r\n").send("HTTP/1.0 200 Connection established\r\n\r\n");
    http.start();
    ScriptedPeer socks;
    socks.receive(9).send(std::string("\0\x5a\0\0\0\0\0\0", 8));
    socks.start();
    FakeSettings settings("http=" + at(http.port()) + ";socks=" + at(socks.port()));

    EXPECT_TRUE(probeDetected(&connector, {{"127.0.0.1", closed}}, &store, settings));
    EXPECT_EQ("100", record(0, "ProxyMethod"));
    EXPECT_EQ(std::to_string(http.port()), record(0, "ProxyPort"));
    EXPECT_EQ("127.0.0.1", record(0, "ProxyHost"));
    EXPECT_EQ(std::to_string(closed), record(0, "Port"));
    EXPECT_EQ("200", record(1, "ProxyMethod"));
    EXPECT_EQ(std::to_string(socks.port()), record(1, "ProxyPort"));
    EXPECT_EQ("", record(2, "ProxyMethod"));

    const std::string direct = "PROXY: [0] [" + at(closed) + "]";
    EXPECT_EQ(1, attemptLines(log, direct + " [ERROR:10061] ["));
    EXPECT_EQ(1, attemptLines(log, "PROXY: [100] [" + at(closed) + "]via[" + at(http.port()) +
                                       "] [OK:0] ["));
    EXPECT_EQ(1, attemptLines(log, "PROXY: [200] [" + at(closed) + "]via[" + at(socks.port()) +
                                       "] [OK:0] ["));
    EXPECT_EQ("store set Detected/=", store.calls.at(0))
        << "the old list goes before the new one is written";
}

TEST_F(ProbeTest, ADirectRouteIsRecordedWithoutProxyValues) {
    ScriptedPeer target;
    target.start();
    FakeSettings none("");
    EXPECT_TRUE(probeDetected(&connector, {{"127.0.0.1", target.port()}}, &store, none));
    EXPECT_EQ("0", record(0, "ProxyMethod"));
    EXPECT_EQ("0", record(0, "ProxyPort"));
    EXPECT_EQ("", record(0, "ProxyHost")) << "an empty host deletes the value";
    EXPECT_EQ("127.0.0.1", record(0, "Address"));
    EXPECT_EQ(std::to_string(target.port()), record(0, "Port"));
    EXPECT_TRUE(target.waitFinished()) << "the probe keeps no connection open";
}

TEST_F(ProbeTest, AScriptsProxiesJoinTheRunningProbeOnceEach) {
    const std::string established = "HTTP/1.0 200 Connection established\r\n\r\n";
    auto never = std::make_shared<std::promise<void>>(); // released when the test ends
    std::shared_future<void> released = never->get_future().share();
    struct Row {
        const char* name;
        bool staticProxy;   // the settings also name the working proxy
        std::string answer; // the script's list; "!" for a failure, "" for none ever
        bool directWorks;
        std::vector<std::string> methods; // of the records, in order
        std::vector<std::string> lines;   // starts of lines that must appear once each
    };
    const Row rows[] = {
        {"a dead and a working proxy: both tried, the working one recorded",
         false,
         "PROXY 127.0.0.1:C; PROXY 127.0.0.1:H; DIRECT",
         false,
         {"100"},
         {"PROXY: Proxy script answered 'PROXY 127.0.0.1:C; PROXY 127.0.0.1:H; DIRECT' [",
          "PROXY: Try 'script' 127.0.0.1:C", "PROXY: Try 'script' 127.0.0.1:H",
          "PROXY: [100] [127.0.0.1:C]via[127.0.0.1:C] [ERROR:10061]",
          "PROXY: [100] [127.0.0.1:C]via[127.0.0.1:H] [OK:0]"}},
        {"a proxy named statically and by the script is tried once",
         true,
         "127.0.0.1:H",
         false,
         {"100"},
         {"PROXY: Already a candidate: 'script' 127.0.0.1:H",
          "PROXY: [100] [127.0.0.1:C]via[127.0.0.1:H] [OK:0]"}},
        {"a SOCKS 5 proxy named first is recorded after the others, in a pass of its own",
         false,
         "SOCKS5 127.0.0.1:S; PROXY 127.0.0.1:H",
         false,
         {"100", "300"},
         {"PROXY: [300] [127.0.0.1:C]via[127.0.0.1:S] [OK:0]"}},
        {"a script that never answers costs only its deadline",
         false,
         "",
         true,
         {"0"},
         {"PROXY: Proxy script gave no answer within 5000ms"}},
        {"a failed script adds nothing",
         false,
         "!",
         true,
         {"0"},
         {"PROXY: Proxy script failed 12167 ["}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        store.values.clear();
        ScriptedPeer http;
        http.receiveUntil("\r\n\r\n").send(established);
        http.start();
        ScriptedPeer socks5;
        socks5.receive(3).send(std::string("\5\0", 2)).receive(10);
        socks5.send(std::string("\5\0\0\1\0\0\0\0\0\0", 10)).start();
        ScriptedPeer target;
        target.start();
        const std::uint16_t targetPort = row.directWorks ? target.port() : closed;
        auto named = [&](std::string text) {
            for (auto [mark, port] : {std::pair<std::string, std::uint16_t>{"C", closed},
                                      {"H", http.port()},
                                      {"S", socks5.port()}}) {
                for (auto at = text.find(":" + mark); at != std::string::npos;
                     at = text.find(":" + mark)) {
                    text.replace(at + 1, 1, std::to_string(port));
                }
            }
            return text;
        };
        // The script owns all it touches: it may outlive the row.
        FakeSettings settings(row.staticProxy ? "http=" + at(http.port()) : "",
                              [answer = named(row.answer), released] {
                                  if (answer.empty()) {
                                      released.wait();
                                  }
                                  platform::ProxyScriptAnswer result;
                                  result.proxies = answer;
                                  result.failed = answer == "!";
                                  result.error = result.failed
                                                     ? 12167
                                                     : 0; // ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT
                                  return result;
                              });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(probeDetected(&connector, {{"127.0.0.1", targetPort}}, &store, settings));
        EXPECT_LT(std::chrono::steady_clock::now() - start, probe::kWaitForAll);
        for (std::size_t i = 0; i < row.methods.size(); ++i) {
            EXPECT_EQ(row.methods[i], record(static_cast<int>(i), "ProxyMethod"));
        }
        EXPECT_EQ("", record(static_cast<int>(row.methods.size()), "ProxyMethod"));
        for (const std::string& line : row.lines) {
            EXPECT_EQ(1u, log.linesStartingWith(named(line)).size()) << named(line);
        }
    }
    never->set_value();
}

TEST_F(ProbeTest, OnlyTheFirstHundredCandidatesAreTried) {
    ScriptedPeer hundredAndFirst;
    hundredAndFirst.start();
    TargetList targets(100, TargetAddress{"127.0.0.1", closed});
    targets.push_back({"127.0.0.1", hundredAndFirst.port()});
    FakeSettings none("");
    EXPECT_FALSE(probeDetected(&connector, targets, &store, none));
    EXPECT_EQ(100, attemptLines(log, "PROXY: [0] [" + at(closed) + "] [ERROR:10061] ["));
    EXPECT_EQ(0, attemptLines(log, "PROXY: [0] [" + at(hundredAndFirst.port()) + "]"));
    EXPECT_EQ("", hundredAndFirst.received());
}

TEST_F(ProbeTest, AnEmptyTargetListStartsNothingAndOnlyClearsTheList) {
    FakeSettings proxy("http=127.0.0.1:1");
    EXPECT_FALSE(probeDetected(&connector, {}, &store, proxy));
    EXPECT_EQ(std::vector<std::string>{"store set Detected/="}, store.calls);
    EXPECT_EQ(0, attemptLines(log, "PROXY: ["));
}

TEST_F(ProbeTest, AShorterListReplacesTheLongerOneWhole) {
    for (int i = 0; i < 5; ++i) {
        store.put("Detected\\000" + std::to_string(i), "ProxyMethod", "100");
        store.put("Detected\\000" + std::to_string(i), "ProxyHost", "old" + std::to_string(i));
    }
    ScriptedPeer first;
    first.start();
    ScriptedPeer second;
    second.start();
    FakeSettings none("");
    EXPECT_TRUE(probeDetected(
        &connector, {{"127.0.0.1", first.port()}, {"127.0.0.1", second.port()}}, &store, none));
    EXPECT_EQ(std::to_string(first.port()), record(0, "Port"));
    EXPECT_EQ("", record(0, "ProxyHost"));
    EXPECT_EQ(std::to_string(second.port()), record(1, "Port"));
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ("", record(i, "ProxyMethod")) << i;
        EXPECT_EQ("", record(i, "ProxyHost")) << i;
    }
}

TEST_F(ProbeTest, HangingAttemptsEndAtTheWaitWithEveryThreadJoined) {
    // A proxy that accepts and never answers, and a listener whose queue is full, so that a
    // connect to it waits for an accept that never comes.
    ScriptedPeer silent;
    silent.receiveUntil("\r\n\r\n");
    silent.start();
    qvtest::FullListener full;
    store.put("Detected\\0000", "ProxyMethod", "0");
    const std::optional<std::size_t> before = qvtest::openHandleCount();
    FakeSettings settings("http=" + at(silent.port()));
    const std::chrono::milliseconds wait{1500};
    connector.setProbeWait(wait);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(probeDetected(&connector, {{"127.0.0.1", full.port()}}, &store, settings));
    const auto waited = std::chrono::steady_clock::now() - start;

    EXPECT_GE(waited, wait);
    EXPECT_TRUE(silent.waitFinished()) << "the silent proxy's connection was closed";
    EXPECT_EQ(before, qvtest::openHandleCount()) << "no handle of the attempts is left open";
    EXPECT_EQ(std::vector<std::string>{"store set Detected/="}, store.calls)
        << "a probe that reached nothing keeps the earlier list";
    EXPECT_EQ("0", record(0, "ProxyMethod"));
    const std::string attempt =
        "PROXY: [100] [" + at(full.port()) + "]via[" + at(silent.port()) + "]";
    std::vector<std::string> attemptLog = log.linesStartingWith("PROXY: [");
    std::sort(attemptLog.begin(), attemptLog.end());
    EXPECT_EQ((std::vector<std::string>{"PROXY: [0] [" + at(full.port()) + "]", attempt}),
              attemptLog)
        << "stopped attempts write nothing after their start lines";
}

} // namespace
