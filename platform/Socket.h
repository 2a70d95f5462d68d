// IPv4 TCP sockets: Winsock on Windows, BSD sockets on POSIX. Every error code that leaves here is
// in Winsock's numbering, whichever system produced it, because the error texts, the log lines and
// the stored records are keyed by those numbers.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A Winsock SOCKET (pointer-sized, as UINT_PTR) on Windows, a file descriptor on POSIX; all bits
// set is INVALID_SOCKET.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Winsock error codes that callers test for by value.
constexpr int kSockInterrupted = 10004;     // WSAEINTR; also a call that a cancel cut short
constexpr int kSockInvalidArgument = 10022; // WSAEINVAL
constexpr int kSockWouldBlock = 10035;      // WSAEWOULDBLOCK
constexpr int kSockConnReset = 10054;       // WSAECONNRESET
constexpr int kSockShutdown = 10058;        // WSAESHUTDOWN
constexpr int kSockConnRefused = 10061;     // WSAECONNREFUSED
constexpr int kSockHostNotFound = 11001;    // WSAHOST_NOT_FOUND
constexpr int kSockTryAgain = 11002;        // WSATRY_AGAIN
constexpr int kSockNoRecovery = 11003;      // WSANO_RECOVERY
constexpr int kSockNoData = 11004;          // WSANO_DATA

// The result of a failed call, as Winsock's SOCKET_ERROR.
constexpr int kSockFailed = -1;

// The address value that a text which is no dotted address parses to (INADDR_NONE).
constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;

// `how` of sockShutdown, as Winsock numbers it.
constexpr int kShutdownReceive = 0;
constexpr int kShutdownSend = 1;
constexpr int kShutdownBoth = 2;

// Starts the socket library for the process, asking for version 2.0; 0 or an error code.
int netStartup();
void netCleanup();

// The last socket error of the calling thread. Every failing call below sets it; closing does
// not change it, so the code of a failed connect survives the clean-up after it.
int lastSocketError();
void setLastSocketError(int code);

// A new IPv4 TCP socket, or kInvalidSocket.
SocketHandle sockCreateTcp();

// Each returns 0, or kSockFailed with the thread's last socket error set.
int sockSetReuseAddress(SocketHandle handle, bool reuse);
int sockSetBlocking(SocketHandle handle, bool blocking);
int sockConnect(SocketHandle handle, std::uint32_t address, std::uint16_t port);
int sockShutdown(SocketHandle handle, int how);

// Bytes moved, or kSockFailed. A send to a peer that has gone raises no signal.
int sockSend(SocketHandle handle, const char* data, int length);
int sockRecv(SocketHandle handle, char* buffer, int length);

// Closes the handle; the thread's last socket error stays as it was.
void sockClose(SocketHandle handle);

// Makes a blocking connect, send or receive running on the handle in another thread return at
// once. Returns true when this closed the handle (Windows only wakes such a call by closing it),
// so its owner must not close it again; false when the owner still closes it.
bool sockAbort(SocketHandle handle);

// An endpoint of a connection: the address in network byte order, the port in host order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

int sockLocalEndpoint(SocketHandle handle, Endpoint& endpoint);
int sockPeerEndpoint(SocketHandle handle, Endpoint& endpoint);

// The system's own parsing of dotted address text (inet_addr): the address in network byte
// order, or kAddressNone.
std::uint32_t parseDotted(const std::string& text);

// Asks the system's name service for the first IPv4 address of `host` (network byte order).
// Returns 0 or the Winsock error code of the failure; the calling thread's last socket error is
// left alone, so a lookup run on a helper thread reports its code to whoever waits for it. Safe
// to call from many threads at once.
int resolveFirstIPv4(const std::string& host, std::uint32_t& address);

} // namespace platform
