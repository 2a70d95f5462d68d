#include "HangingProxies.h"

#include "NativeSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace bench {

namespace {

constexpr int kBacklog = 128;
constexpr int kPollMs = 50;
constexpr auto kTrickleEvery = std::chrono::seconds(1);
// A status line that would open the tunnel, then a header field that never ends.
constexpr const char kAnswerStart[] = "HTTP/1.1 200 Connection established\r\nX-Slow: ";
constexpr char kAnswerFiller = 'a';

} // namespace

HangingProxies::HangingProxies(int silentCount, int tricklingCount) {
    for (int i = 0; i < silentCount + tricklingCount; ++i) {
        const bool trickles = i >= silentCount;
        std::uint16_t port = 0;
        listeners.push_back(
            {qvtest::listenOnLoopback(kBacklog, port, "HangingProxies"), trickles, 0});
        (trickles ? trickling : silent).push_back(port);
    }
    server = std::thread([this] { serve(); });
}

HangingProxies::~HangingProxies() {
    stopping = true;
    server.join();
    for (const Socket& socket : connections) {
        close(socket.fd);
    }
    for (const Socket& socket : listeners) {
        close(socket.fd);
    }
}

void HangingProxies::serve() {
    auto nextTrickle = std::chrono::steady_clock::now() + kTrickleEvery;
    while (!stopping) {
        std::vector<pollfd> watched;
        for (const std::vector<Socket>* group : {&listeners, &connections}) {
            for (const Socket& socket : *group) {
                watched.push_back({socket.fd, POLLIN, 0});
            }
        }
        poll(watched.data(), watched.size(), kPollMs);
        // What the attempts send is read and dropped; an end or an error closes our side.
        std::vector<Socket> open;
        for (std::size_t i = 0; i < connections.size(); ++i) {
            const Socket& socket = connections[i];
            char drain[512];
            if (watched[listeners.size() + i].revents != 0 &&
                recv(socket.fd, drain, sizeof drain, MSG_DONTWAIT) <= 0) {
                close(socket.fd);
            } else {
                open.push_back(socket);
            }
        }
        connections = std::move(open);
        for (std::size_t i = 0; i < listeners.size(); ++i) {
            if (watched[i].revents & POLLIN) {
                accept(listeners[i]);
            }
        }
        if (std::chrono::steady_clock::now() >= nextTrickle) {
            trickle();
            nextTrickle += kTrickleEvery;
        }
    }
}

void HangingProxies::accept(const Socket& listener) {
    const int fd = ::accept(listener.fd, nullptr, nullptr);
    if (fd >= 0) {
        connections.push_back({fd, listener.trickles, 0});
    }
}

void HangingProxies::trickle() {
    const std::size_t startLength = sizeof kAnswerStart - 1;
    for (Socket& socket : connections) {
        if (!socket.trickles) {
            continue;
        }
        const char byte = socket.sent < startLength ? kAnswerStart[socket.sent] : kAnswerFiller;
        if (send(socket.fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) {
            ++socket.sent;
        }
    }
}

} // namespace bench
