#include "FullListener.h"

#include "NativeSocket.h"

#include <chrono>
#include <thread>

namespace qvtest {

namespace {

// A queue of length 0 still holds a connection or two; more than that fills it for sure.
constexpr int kFillers = 4;
constexpr auto kSettle = std::chrono::milliseconds(200);

sockaddr_in loopback(const char* dotted, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr(dotted);
    address.sin_port = htons(port);
    return address;
}

} // namespace

FullListener::FullListener() : FullListener(kLoopbackAddress, 0) {}

FullListener::FullListener(const char* address, std::uint16_t port) : listenPort(port) {
    listener =
        static_cast<std::uintptr_t>(listenOnLoopback(0, listenPort, "FullListener", address));
    for (int i = 0; i < kFillers; ++i) {
        const Native filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        setNonBlocking(filler);
        const sockaddr_in target = loopback(address, listenPort);
        connect(filler, reinterpret_cast<const sockaddr*>(&target), sizeof target);
        fillers.push_back(static_cast<std::uintptr_t>(filler));
    }
    std::this_thread::sleep_for(kSettle);
}

FullListener::~FullListener() {
    for (const std::uintptr_t filler : fillers) {
        closeNative(static_cast<Native>(filler));
    }
    closeNative(static_cast<Native>(listener));
}

} // namespace qvtest
