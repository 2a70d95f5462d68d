#include "NativeSocket.h"

#include <stdexcept>
#include <string>

namespace qvtest {

SocketLibrary::SocketLibrary() {
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
}

SocketLibrary::~SocketLibrary() {
#ifdef _WIN32
    WSACleanup();
#endif
}

Native listenOnLoopback(int backlog, std::uint16_t& port, const char* who, const char* loopback) {
    const Native s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNone) {
        throw std::runtime_error(std::string(who) + ": socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr(loopback);
    address.sin_port = htons(port);
    AddressLength length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, backlog) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closeNative(s);
        throw std::runtime_error(std::string(who) + ": cannot listen on the loopback address");
    }
    port = ntohs(address.sin_port);
    return s;
}

std::uint16_t closedLoopbackPort() {
    const SocketLibrary library;
    std::uint16_t port = 0;
    closeNative(listenOnLoopback(1, port, "closedLoopbackPort"));
    return port;
}

} // namespace qvtest
