// TCP sockets over IPv4 and IPv6: Winsock on Windows, BSD sockets on POSIX. Every error code that
// leaves here is in Winsock's numbering, whichever system produced it, because the error texts, the
// log lines and the stored records are keyed by those numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A Winsock SOCKET (pointer-sized, as UINT_PTR) on Windows, a file descriptor on POSIX; all bits
// set is INVALID_SOCKET.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Winsock error codes that callers test for by value.
constexpr int kSockInterrupted = 10004;        // WSAEINTR; also a call that a cancel cut short
constexpr int kSockInvalidArgument = 10022;    // WSAEINVAL
constexpr int kSockWouldBlock = 10035;         // WSAEWOULDBLOCK
constexpr int kSockFamilyUnsupported = 10047;  // WSAEAFNOSUPPORT: no IPv6 (or IPv4) stack here
constexpr int kSockAddressUnavailable = 10049; // WSAEADDRNOTAVAIL: no source address of the family
constexpr int kSockNetUnreachable = 10051;     // WSAENETUNREACH: no route for the family
constexpr int kSockConnReset = 10054;          // WSAECONNRESET
constexpr int kSockShutdown = 10058;           // WSAESHUTDOWN
constexpr int kSockTimedOut = 10060;           // WSAETIMEDOUT
constexpr int kSockConnRefused = 10061;        // WSAECONNREFUSED
constexpr int kSockHostUnreachable = 10065;    // WSAEHOSTUNREACH
constexpr int kSockHostNotFound = 11001;       // WSAHOST_NOT_FOUND
constexpr int kSockTryAgain = 11002;           // WSATRY_AGAIN
constexpr int kSockNoRecovery = 11003;         // WSANO_RECOVERY
constexpr int kSockNoData = 11004;             // WSANO_DATA

// The result of a failed call, as Winsock's SOCKET_ERROR.
constexpr int kSockFailed = -1;

// The address value that a text which is no dotted address parses to (INADDR_NONE).
constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;

enum class AddressFamily : std::uint8_t { IPv4, IPv6 };

constexpr std::size_t kIpAddressBytes = 16;

// An IPv4 or IPv6 address in network byte order, IPv4 in the first four bytes. `scope` is the
// zone of an IPv6 link-local address (the interface it leaves by), 0 for none.
struct IpAddress {
    AddressFamily family = AddressFamily::IPv4;
    std::array<std::uint8_t, kIpAddressBytes> bytes{};
    std::uint32_t scope = 0;
};

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

// A new TCP socket of the family, or kInvalidSocket.
SocketHandle sockCreateTcp(AddressFamily family);

// Each returns 0, or kSockFailed with the thread's last socket error set.
int sockSetReuseAddress(SocketHandle handle, bool reuse);
int sockSetBlocking(SocketHandle handle, bool blocking);
// On a non-blocking handle a connect under way fails with kSockWouldBlock; sockWaitConnects
// tells when it has ended.
int sockConnect(SocketHandle handle, const IpAddress& address, std::uint16_t port);
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

// What sockWaitConnects reports for a connect that is still under way.
constexpr int kConnectPending = -1;

// Waits up to `timeoutMs` (-1: no limit) until at least one connect under way on the
// non-blocking `handles` has ended. `outcomes` gets one entry per handle: 0 connected, a Winsock
// code failed, kConnectPending still under way. Returns how many ended (0 at the time-out), or
// kSockFailed with the thread's last socket error set.
int sockWaitConnects(const std::vector<SocketHandle>& handles, int timeoutMs,
                     std::vector<int>& outcomes);

// An endpoint of a connection: the port in host order.
struct Endpoint {
    IpAddress address;
    std::uint16_t port = 0;
};

int sockLocalEndpoint(SocketHandle handle, Endpoint& endpoint);
int sockPeerEndpoint(SocketHandle handle, Endpoint& endpoint);

// The system's own parsing of dotted address text (inet_addr): the address in network byte
// order, or kAddressNone.
std::uint32_t parseDotted(const std::string& text);

// The numeric text of an address: dotted IPv4, IPv6 in its shortest form without brackets or
// zone.
std::string addressText(const IpAddress& address);

// Asks the system's name service for every IPv6 and IPv4 address of `host`, in the order the
// system gives them. Returns 0 or the Winsock error code of the failure; the calling thread's last
// socket error is left alone, so a lookup run on a helper thread reports its code to whoever
// waits for it. Safe to call from many threads at once.
int resolveAddresses(const std::string& host, std::vector<IpAddress>& addresses);

} // namespace platform
