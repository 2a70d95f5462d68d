// A TCP peer on the loopback address for tests: it listens on a port that the system picks,
// accepts one connection, plays a script on it and keeps every byte it received. Once the script
// has run it goes on receiving until the other side closes, then closes too.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

class SocketLibrary;

class ScriptedPeer {
public:
    // How long waitFinished waits unless told: long enough for any loaded machine.
    static constexpr int kFinishTimeoutMs = 30000;

    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    std::uint16_t port() const { return listenPort; }

    // Steps of the script, added before start.
    ScriptedPeer& send(const std::string& bytes);
    // Waits until `count` more bytes have arrived (or the other side closed).
    ScriptedPeer& receive(std::size_t count);
    // Waits until the bytes received by this step end with `marker` (or the other side closed).
    ScriptedPeer& receiveUntil(const std::string& marker);
    // Lets time pass, so that what was sent before arrives apart from what is sent after.
    ScriptedPeer& pause(int milliseconds);
    // Closes the connection in order; the script ends here.
    ScriptedPeer& close();
    // Closes the connection abortively (a reset); the script ends here.
    ScriptedPeer& reset();

    void start();

    // True once the script has run and the connection is closed; false after `timeoutMs`.
    bool waitFinished(int timeoutMs = kFinishTimeoutMs);
    std::string received() const;

    // A loopback port where nothing listens (a listener's port, closed again).
    static std::uint16_t closedPort();

private:
    enum class Kind { Send, Receive, ReceiveUntil, Pause, Close, Reset };
    struct Step {
        Kind kind;
        std::string bytes;
        std::size_t count;
    };

    void run();
    bool receiveSome(std::uintptr_t connection, std::size_t most, std::string* into);

    std::uint16_t listenPort = 0;
    std::unique_ptr<SocketLibrary> library;
    std::uintptr_t listener;
    std::vector<Step> script;
    std::thread worker;
    std::atomic<bool> stopping{false};

    mutable std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    std::string bytesReceived;
};

} // namespace qvtest
