// Loopback proxies that never let an attempt finish: silent ones accept and say nothing;
// trickling ones answer with a header that grows by one byte a second and never ends. One thread
// serves them all and closes its side of a connection when the other side closes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace bench {

class HangingProxies {
public:
    HangingProxies(int silent, int trickling);
    ~HangingProxies();
    HangingProxies(const HangingProxies&) = delete;
    HangingProxies& operator=(const HangingProxies&) = delete;

    const std::vector<std::uint16_t>& silentPorts() const { return silent; }
    const std::vector<std::uint16_t>& tricklingPorts() const { return trickling; }

private:
    struct Socket {
        int fd;
        bool trickles;
        std::size_t sent; // bytes of the endless answer sent so far
    };

    void serve();
    void accept(const Socket& listener);
    void trickle();

    std::vector<std::uint16_t> silent;
    std::vector<std::uint16_t> trickling;
    std::vector<Socket> listeners;
    std::vector<Socket> connections;
    std::atomic<bool> stopping{false};
    std::thread server;
};

} // namespace bench
