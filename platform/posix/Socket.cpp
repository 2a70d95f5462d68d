#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/SocketAddressConversion.h"

namespace platform {

namespace {

thread_local int threadSocketError = 0;

// Room for a host name (HOST_NAME_MAX is 64 on Linux; DNS names end at 255).
constexpr std::size_t kHostNameSize = 256;

// errno values and the Winsock codes of the same meaning. EAGAIN and EWOULDBLOCK are one value on
// Linux but not everywhere, so both rows stay. A descriptor that is no open file is, to Winsock,
// no socket. EPIPE has two meanings and is sorted out where send fails.
struct ErrnoCode {
    int error;
    int code;
};
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10038},           {EACCES, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},          {EMFILE, 10024},
    {ENFILE, 10024},       {EAGAIN, 10035},          {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061},
    {ELOOP, 10062},        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},       {EUSERS, 10068},
    {EDQUOT, 10069},       {ESTALE, 10070},          {EREMOTE, 10071},
};

int winsockCode(int error) {
    for (const ErrnoCode& row : kErrnoCodes) {
        if (row.error == error) {
            return row.code;
        }
    }
    // Nothing in Winsock's numbering matches: invalid argument is the closest general failure.
    return kSockInvalidArgument;
}

int failWithErrno() {
    threadSocketError = winsockCode(errno);
    return kSockFailed;
}

int resolverCode(int status, int savedErrno) {
    switch (status) {
    case EAI_NONAME:
        return kSockHostNotFound;
#ifdef EAI_NODATA
    case EAI_NODATA: // the name is known but has no address
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return kSockNoData;
    case EAI_AGAIN:
        return kSockTryAgain;
    // As Winsock's getaddrinfo numbers these.
    case EAI_FAMILY:
        return kSockFamilyUnsupported;
    case EAI_BADFLAGS:
        return kSockInvalidArgument;
    case EAI_SOCKTYPE:
        return winsockCode(ESOCKTNOSUPPORT);
    case EAI_MEMORY:
        return winsockCode(ENOMEM);
    case EAI_SYSTEM:
        return winsockCode(savedErrno);
    default:
        return kSockNoRecovery;
    }
}

int fd(SocketHandle handle) {
    return static_cast<int>(handle);
}

// The sides of each open socket that its owner shut down, which Winsock remembers and reports
// and the Linux kernel does not.
constexpr int kSideReceive = 1;
constexpr int kSideSend = 2;
std::mutex shutDownMutex;
std::map<int, int> shutDownSides;

bool isShutDown(SocketHandle handle, int side) {
    std::lock_guard<std::mutex> lock(shutDownMutex);
    const auto found = shutDownSides.find(fd(handle));
    return found != shutDownSides.end() && (found->second & side) != 0;
}

// 0 when the connect under way on the socket succeeded, else its Winsock code.
int connectOutcome(int socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return winsockCode(errno);
    }
    return error == 0 ? 0 : winsockCode(error);
}

// A connect interrupted by a signal goes on in the background; wait for its outcome as a blocking
// connect would have.
int finishInterruptedConnect(int socket) {
    pollfd entry{};
    entry.fd = socket;
    entry.events = POLLOUT;
    while (poll(&entry, 1, -1) < 0) {
        if (errno != EINTR) {
            return failWithErrno();
        }
    }
    const int outcome = connectOutcome(socket);
    if (outcome != 0) {
        threadSocketError = outcome;
        return kSockFailed;
    }
    return 0;
}

int endpointOf(int (*query)(int, sockaddr*, socklen_t*), SocketHandle handle, Endpoint& endpoint) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (query(fd(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return failWithErrno();
    }
    if (!readSocketAddress(reinterpret_cast<const sockaddr*>(&address), endpoint.address,
                           endpoint.port)) {
        threadSocketError = winsockCode(EAFNOSUPPORT);
        return kSockFailed;
    }
    return 0;
}

} // namespace

int netStartup() {
    return 0;
}

void netCleanup() {}

int lastSocketError() {
    return threadSocketError;
}

void setLastSocketError(int code) {
    threadSocketError = code;
}

SocketHandle sockCreateTcp(AddressFamily family) {
    const int domain = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    const int socket = ::socket(domain, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0) {
        failWithErrno();
        return kInvalidSocket;
    }
    return static_cast<SocketHandle>(socket);
}

int sockSetReuseAddress(SocketHandle handle, bool reuse) {
    const int value = reuse ? 1 : 0;
    if (setsockopt(fd(handle), SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) != 0) {
        return failWithErrno();
    }
    return 0;
}

int sockSetBlocking(SocketHandle handle, bool blocking) {
    const int flags = fcntl(fd(handle), F_GETFL);
    if (flags < 0) {
        return failWithErrno();
    }
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    if (wanted != flags && fcntl(fd(handle), F_SETFL, wanted) != 0) {
        return failWithErrno();
    }
    return 0;
}

int sockConnect(SocketHandle handle, const IpAddress& address, std::uint16_t port) {
    sockaddr_storage target{};
    const auto length = static_cast<socklen_t>(socketAddressOf(address, port, target));
    if (::connect(fd(handle), reinterpret_cast<const sockaddr*>(&target), length) == 0) {
        return 0;
    }
    if (errno == EINTR) {
        return finishInterruptedConnect(fd(handle));
    }
    if (errno == EINPROGRESS) {
        // Winsock reports a non-blocking connect under way as would-block.
        threadSocketError = kSockWouldBlock;
        return kSockFailed;
    }
    return failWithErrno();
}

int sockWaitConnects(const std::vector<SocketHandle>& handles, int timeoutMs,
                     std::vector<int>& outcomes) {
    std::vector<pollfd> entries(handles.size());
    for (std::size_t i = 0; i < handles.size(); ++i) {
        entries[i].fd = fd(handles[i]);
        entries[i].events = POLLOUT;
    }
    outcomes.assign(handles.size(), kConnectPending);
    const int ready = poll(entries.data(), entries.size(), timeoutMs);
    if (ready < 0) {
        // A signal ends the wait early, which the caller takes as a time-out and waits again.
        return errno == EINTR ? 0 : failWithErrno();
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].revents != 0) {
            outcomes[i] = connectOutcome(entries[i].fd);
        }
    }
    return ready;
}

int sockShutdown(SocketHandle handle, int how) {
    int posixHow = SHUT_RDWR;
    if (how == kShutdownReceive) {
        posixHow = SHUT_RD;
    } else if (how == kShutdownSend) {
        posixHow = SHUT_WR;
    } else if (how != kShutdownBoth) {
        threadSocketError = kSockInvalidArgument;
        return kSockFailed;
    }
    if (::shutdown(fd(handle), posixHow) != 0) {
        return failWithErrno();
    }
    const int sides = how == kShutdownReceive ? kSideReceive
                      : how == kShutdownSend  ? kSideSend
                                              : kSideReceive | kSideSend;
    std::lock_guard<std::mutex> lock(shutDownMutex);
    shutDownSides[fd(handle)] |= sides;
    return 0;
}

int sockSend(SocketHandle handle, const char* data, int length) {
    for (;;) {
        const ssize_t sent =
            ::send(fd(handle), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
        if (sent >= 0) {
            return static_cast<int>(sent);
        }
        if (errno == EPIPE) {
            // Linux says EPIPE both after our own shutdown and once the peer has reset the
            // connection; Winsock tells the two apart.
            threadSocketError = isShutDown(handle, kSideSend) ? kSockShutdown : kSockConnReset;
            return kSockFailed;
        }
        if (errno != EINTR) {
            return failWithErrno();
        }
    }
}

int sockRecv(SocketHandle handle, char* buffer, int length) {
    for (;;) {
        const ssize_t got = ::recv(fd(handle), buffer, static_cast<std::size_t>(length), 0);
        if (got == 0 && length > 0 && isShutDown(handle, kSideReceive)) {
            // Winsock fails a receive after our own shutdown instead of reporting a close.
            threadSocketError = kSockShutdown;
            return kSockFailed;
        }
        if (got >= 0) {
            return static_cast<int>(got);
        }
        if (errno != EINTR) {
            return failWithErrno();
        }
    }
}

void sockClose(SocketHandle handle) {
    {
        std::lock_guard<std::mutex> lock(shutDownMutex);
        shutDownSides.erase(fd(handle));
    }
    ::close(fd(handle));
}

bool sockAbort(SocketHandle handle) {
    // Closing a descriptor does not wake a call blocked on it in another thread; shutting the
    // connection down does, also a connect still under way.
    ::shutdown(fd(handle), SHUT_RDWR);
    return false;
}

int sockLocalEndpoint(SocketHandle handle, Endpoint& endpoint) {
    return endpointOf(getsockname, handle, endpoint);
}

int sockPeerEndpoint(SocketHandle handle, Endpoint& endpoint) {
    return endpointOf(getpeername, handle, endpoint);
}

std::uint32_t parseDotted(const std::string& text) {
    return inet_addr(text.c_str());
}

std::string addressText(const IpAddress& address) {
    char text[INET6_ADDRSTRLEN] = {};
    const int family = address.family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    inet_ntop(family, address.bytes.data(), text, sizeof text);
    return text;
}

int resolveAddresses(const std::string& host, std::vector<IpAddress>& addresses) {
    // Winsock resolves the empty name as this machine's own name.
    std::string name = host;
    if (name.empty()) {
        char own[kHostNameSize] = {};
        if (gethostname(own, sizeof own - 1) != 0) {
            return winsockCode(errno);
        }
        name = own;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        return resolverCode(status, errno);
    }
    takeAddresses(found, addresses);
    freeaddrinfo(found);
    return addresses.empty() ? kSockNoData : 0;
}

} // namespace platform
