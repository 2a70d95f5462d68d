#include "platform/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/SocketAddressConversion.h"

#include <cstring>

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
    sockaddr_storage address{};
    int length = sizeof address;
    if (result(query(sock(handle), reinterpret_cast<sockaddr*>(&address), &length)) != 0) {
        return kSockFailed;
    }
    if (!readSocketAddress(reinterpret_cast<const sockaddr*>(&address), endpoint.address,
                           endpoint.port)) {
        threadSocketError = WSAEAFNOSUPPORT;
        return kSockFailed;
    }
    return 0;
}

// 0 when the connect under way on the socket succeeded, else its Winsock code.
int connectOutcome(SOCKET socket) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return WSAGetLastError();
    }
    return error;
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

SocketHandle sockCreateTcp(AddressFamily family) {
    const int domain = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    const SOCKET created = ::socket(domain, SOCK_STREAM, IPPROTO_TCP);
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

int sockConnect(SocketHandle handle, const IpAddress& address, std::uint16_t port) {
    sockaddr_storage target{};
    const int length = socketAddressOf(address, port, target);
    return result(::connect(sock(handle), reinterpret_cast<const sockaddr*>(&target), length));
}

int sockWaitConnects(const std::vector<SocketHandle>& handles, int timeoutMs,
                     std::vector<int>& outcomes) {
    outcomes.assign(handles.size(), kConnectPending);
    if (handles.size() > FD_SETSIZE) {
        threadSocketError = WSAEINVAL;
        return kSockFailed;
    }
    // Winsock reports a connect that succeeded as writable and one that failed as an exception.
    fd_set connected;
    fd_set failed;
    FD_ZERO(&connected);
    FD_ZERO(&failed);
    for (SocketHandle handle : handles) {
        FD_SET(sock(handle), &connected);
        FD_SET(sock(handle), &failed);
    }
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int ready = ::select(0, nullptr, &connected, &failed, timeoutMs < 0 ? nullptr : &limit);
    if (ready == SOCKET_ERROR) {
        return result(ready);
    }
    int ended = 0;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const SOCKET socket = sock(handles[i]);
        if (FD_ISSET(socket, &connected) || FD_ISSET(socket, &failed)) {
            outcomes[i] = FD_ISSET(socket, &failed) ? connectOutcome(socket) : 0;
            ++ended;
        }
    }
    return ended;
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

std::string addressText(const IpAddress& address) {
    // The text of the address alone: the zone is left out as from every other address text.
    IpAddress unscoped = address;
    unscoped.scope = 0;
    sockaddr_storage raw{};
    const int length = socketAddressOf(unscoped, 0, raw);
    char text[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&raw), length, text, sizeof text, nullptr,
                      0, NI_NUMERICHOST) != 0) {
        return std::string();
    }
    return text;
}

int resolveAddresses(const std::string& host, std::vector<IpAddress>& addresses) {
    // getaddrinfo rather than gethostbyname: it is safe from many threads by contract, knows
    // IPv6, and hands back its own error code in Winsock's numbering, so a lookup on a helper
    // thread can report it to its caller.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int code = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (code != 0) {
        // The one answer outside the socket range: memory ran short.
        return code == WSA_NOT_ENOUGH_MEMORY ? WSAENOBUFS : code;
    }
    takeAddresses(found, addresses);
    ::freeaddrinfo(found);
    return addresses.empty() ? WSANO_DATA : 0;
}

} // namespace platform
