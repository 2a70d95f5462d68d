// A loopback listener that never accepts and whose queue is already full, so that a connect to
// it waits (the system drops its handshake) until the connecting side gives up.
#pragma once

#include <cstdint>
#include <vector>

namespace qvtest {

class FullListener {
public:
    // On a port that the system picks, or on `port` of another loopback address.
    FullListener();
    FullListener(const char* address, std::uint16_t port);
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    std::uint16_t port() const { return listenPort; }

private:
    std::uintptr_t listener;
    std::vector<std::uintptr_t> fillers; // the connections that fill the queue
    std::uint16_t listenPort = 0;
};

} // namespace qvtest
