#include "platform/Socket.h"

#include <winsock2.h>

#include <cstring>

namespace platform {

static_assert(sizeof(SOCKET) == sizeof(SocketHandle), "a SOCKET must fit the handle type");

namespace {

constexpr WORD kWinsockVersion = 0x0002; // major 2 in the low byte, minor 0

// The thread's last socket error, kept apart from WSAGetLastError: that is the thread's Win32
// last error, which much else resets on its way (a thread-local variable's first use, the
// unwinding of an exception), so a failed connect's code would not survive until its caller
// reads it.
thread_local int threadSocketError = 0;

int failure() {
    const int code = WSAGetLastError();
    threadSocketError = code;
    return kSockFailed;
}

SOCKET sock(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

int result(int status) {
    return status == SOCKET_ERROR ? failure() : status;
}

int endpointOf(int(WSAAPI* query)(SOCKET, sockaddr*, int*), SocketHandle handle,
               Endpoint& endpoint) {
    sockaddr_in address{};
    int length = sizeof address;
    if (query(sock(handle), reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) {
        return failure();
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
    WSASetLastError(code);
}

SocketHandle sockCreateTcp() {
    const SOCKET created = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (created == INVALID_SOCKET) {
        failure();
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
    // The entry lives in a buffer of this thread that the next resolver call reuses; copy the
    // address out at once.
    const int saved = WSAGetLastError();
    const hostent* entry = ::gethostbyname(host.c_str());
    int code = 0;
    if (entry == nullptr) {
        code = WSAGetLastError();
    } else if (entry->h_addrtype != AF_INET || entry->h_length != sizeof address ||
               entry->h_addr_list[0] == nullptr) {
        code = WSANO_DATA;
    } else {
        std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    }
    WSASetLastError(saved);
    return code;
}

} // namespace platform
