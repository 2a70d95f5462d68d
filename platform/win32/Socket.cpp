#include "platform/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {

static_assert(sizeof(SOCKET) == sizeof(SocketHandle), "a SOCKET must fit the handle type");

namespace {

constexpr WORD kWinsockVersion = 0x0002; // major 2 in the low byte, minor 0

SOCKET sock(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

// The thread's last socket error is kept here rather than read from WSAGetLastError when asked:
// Winsock keeps it in the thread's system error slot, which any later system call may overwrite,
// and throwing a C++ exception makes such calls (the unwinder's locks and allocations). The code
// of a failed connect or lookup must survive the exception and the clean-up that follow it.
thread_local int threadSocketError = 0;

int result(int status) {
    if (status == SOCKET_ERROR) {
        threadSocketError = WSAGetLastError();
        return kSockFailed;
    }
    return status;
}

int endpointOf(int(WSAAPI* query)(SOCKET, sockaddr*, int*), SocketHandle handle,
               Endpoint& endpoint) {
    sockaddr_in address{};
    int length = sizeof address;
    if (result(query(sock(handle), reinterpret_cast<sockaddr*>(&address), &length)) != 0) {
        return kSockFailed;
    }
    endpoint.address = address.sin_addr.s_addr;
    endpoint.port = ntohs(address.sin_port);
    return 0;
}

} // namespace

int netStartup() {
    WSADATA data;
    return WSAStartup(kWinsockVersion, &data);
}

void netCleanup() {
    WSACleanup();
}

int lastSocketError() {
    return threadSocketError;
}

void setLastSocketError(int code) {
    threadSocketError = code;
}

SocketHandle sockCreateTcp() {
    const SOCKET created = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (created == INVALID_SOCKET) {
        threadSocketError = WSAGetLastError();
        return kInvalidSocket;
    }
    return static_cast<SocketHandle>(created);
}

int sockSetReuseAddress(SocketHandle handle, bool reuse) {
    const int value = reuse ? 1 : 0;
    return result(::setsockopt(sock(handle), SOL_SOCKET, SO_REUSEADDR,
                               reinterpret_cast<const char*>(&value), sizeof value));
}

int sockSetBlocking(SocketHandle handle, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return result(::ioctlsocket(sock(handle), FIONBIO, &nonBlocking));
}

int sockConnect(SocketHandle handle, std::uint32_t address, std::uint16_t port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = address;
    target.sin_port = htons(port);
    return result(
        ::connect(sock(handle), reinterpret_cast<const sockaddr*>(&target), sizeof target));
}

int sockShutdown(SocketHandle handle, int how) {
    return result(::shutdown(sock(handle), how));
}

int sockSend(SocketHandle handle, const char* data, int length) {
    return result(::send(sock(handle), data, length, 0));
}

int sockRecv(SocketHandle handle, char* buffer, int length) {
    return result(::recv(sock(handle), buffer, length, 0));
}

void sockClose(SocketHandle handle) {
    ::closesocket(sock(handle));
}

bool sockAbort(SocketHandle handle) {
    // A blocking call on Windows is woken by closing its socket; shutting it down is not enough.
    sockClose(handle);
    return true;
}

int sockLocalEndpoint(SocketHandle handle, Endpoint& endpoint) {
    return endpointOf(::getsockname, handle, endpoint);
}

int sockPeerEndpoint(SocketHandle handle, Endpoint& endpoint) {
    return endpointOf(::getpeername, handle, endpoint);
}

std::uint32_t parseDotted(const std::string& text) {
    return ::inet_addr(text.c_str());
}

int resolveFirstIPv4(const std::string& host, std::uint32_t& address) {
    // getaddrinfo rather than gethostbyname: it is safe from many threads by contract and hands
    // back its own error code, so a lookup on a helper thread can report it to its caller.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int code = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (code != 0) {
        return code;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return 0;
}

} // namespace platform
