#include "ScriptedPeer.h"

#include "NativeSocket.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace qvtest {

namespace {

// How often a waiting peer looks whether it is being stopped.
constexpr long kPollMicroseconds = 20000;
constexpr std::size_t kChunk = 4096;

Native native(std::uintptr_t value) {
    return static_cast<Native>(value);
}

// Waits until `s` is readable or the peer is being stopped; true when readable.
bool waitReadable(Native s, const std::atomic<bool>& stopping) {
    while (!stopping) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{0, kPollMicroseconds};
        const int ready = select(static_cast<int>(s) + 1, &readable, nullptr, nullptr, &wait);
        if (ready > 0) {
            return true;
        }
        if (ready < 0) {
            return false;
        }
    }
    return false;
}

} // namespace

ScriptedPeer::ScriptedPeer()
    : library(std::make_unique<SocketLibrary>()),
      listener(static_cast<std::uintptr_t>(listenOnLoopback(1, listenPort, "ScriptedPeer"))) {}

ScriptedPeer::~ScriptedPeer() {
    stopping = true;
    if (worker.joinable()) {
        worker.join();
    }
    closeNative(native(listener));
}

ScriptedPeer& ScriptedPeer::send(const std::string& bytes) {
    script.push_back({Kind::Send, bytes, 0});
    return *this;
}

ScriptedPeer& ScriptedPeer::receive(std::size_t count) {
    script.push_back({Kind::Receive, std::string(), count});
    return *this;
}

ScriptedPeer& ScriptedPeer::receiveUntil(const std::string& marker) {
    script.push_back({Kind::ReceiveUntil, marker, 0});
    return *this;
}

ScriptedPeer& ScriptedPeer::pause(int milliseconds) {
    script.push_back({Kind::Pause, std::string(), static_cast<std::size_t>(milliseconds)});
    return *this;
}

ScriptedPeer& ScriptedPeer::close() {
    script.push_back({Kind::Close, std::string(), 0});
    return *this;
}

ScriptedPeer& ScriptedPeer::reset() {
    script.push_back({Kind::Reset, std::string(), 0});
    return *this;
}

void ScriptedPeer::start() {
    worker = std::thread([this] { run(); });
}

bool ScriptedPeer::waitFinished(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex);
    return finishedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [this] { return finished; });
}

std::string ScriptedPeer::received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return bytesReceived;
}

std::uint16_t ScriptedPeer::closedPort() {
    return closedLoopbackPort();
}

// Receives up to `most` bytes into the record (and `into`); false when the other side closed,
// the connection failed or the peer is being stopped.
bool ScriptedPeer::receiveSome(std::uintptr_t connection, std::size_t most, std::string* into) {
    if (!waitReadable(native(connection), stopping)) {
        return false;
    }
    char buffer[kChunk];
    const int got = recv(native(connection), buffer, static_cast<int>(std::min(most, kChunk)), 0);
    if (got <= 0) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    bytesReceived.append(buffer, static_cast<std::size_t>(got));
    if (into != nullptr) {
        into->append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

void ScriptedPeer::run() {
    Native connection = kNone;
    if (waitReadable(native(listener), stopping)) {
        connection = accept(native(listener), nullptr, nullptr);
    }
    bool open = connection != kNone;
    const std::uintptr_t handle = static_cast<std::uintptr_t>(connection);
    for (const Step& step : script) {
        if (!open) {
            break;
        }
        switch (step.kind) {
        case Kind::Send: {
            std::size_t sent = 0;
            while (open && sent < step.bytes.size()) {
                const int moved = ::send(connection, step.bytes.data() + sent,
                                         static_cast<int>(step.bytes.size() - sent), 0);
                open = moved > 0;
                sent += open ? static_cast<std::size_t>(moved) : 0;
            }
            break;
        }
        case Kind::Receive: {
            std::string got;
            while (open && got.size() < step.count) {
                open = receiveSome(handle, step.count - got.size(), &got);
            }
            break;
        }
        case Kind::ReceiveUntil: {
            std::string got;
            while (open && (got.size() < step.bytes.size() ||
                            got.compare(got.size() - step.bytes.size(), std::string::npos,
                                        step.bytes) != 0)) {
                open = receiveSome(handle, 1, &got);
            }
            break;
        }
        case Kind::Pause:
            std::this_thread::sleep_for(std::chrono::milliseconds(step.count));
            break;
        case Kind::Close:
            closeNative(connection);
            connection = kNone;
            open = false;
            break;
        case Kind::Reset: {
            linger abortive{};
            abortive.l_onoff = 1;
            abortive.l_linger = 0;
            setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                       sizeof abortive);
            closeNative(connection);
            connection = kNone;
            open = false;
            break;
        }
        }
    }
    while (open) {
        open = receiveSome(handle, kChunk, nullptr);
    }
    if (connection != kNone) {
        closeNative(connection);
    }
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
    finishedChanged.notify_all();
}

} // namespace qvtest
