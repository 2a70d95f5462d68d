// The system's own sockets, for test peers that must do what the product's socket layer never
// does (listen, accept, fill a listener's queue).
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace qvtest {

#ifdef _WIN32
using Native = SOCKET;
using AddressLength = int;
const Native kNone = INVALID_SOCKET;
inline void closeNative(Native s) {
    closesocket(s);
}
inline void setNonBlocking(Native s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}
#else
using Native = int;
using AddressLength = socklen_t;
const Native kNone = -1;
inline void closeNative(Native s) {
    ::close(s);
}
inline void setNonBlocking(Native s) {
    fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
}
#endif

// Starts the system's socket library for this peer and stops it again (Winsock counts starts).
class SocketLibrary {
public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
};

// The loopback address every peer listens on unless told otherwise.
constexpr const char* kLoopbackAddress = "127.0.0.1";

// A listener on a loopback port that the system picks (or `port` when it is not 0), on `address`
// (dotted, within 127.0.0.0/8); throws std::runtime_error naming `who`.
Native listenOnLoopback(int backlog, std::uint16_t& port, const char* who,
                        const char* address = kLoopbackAddress);

// A loopback port where nothing listens: one the system just handed out, closed again.
std::uint16_t closedLoopbackPort();

} // namespace qvtest
