#include "net/ASocket.h"

#include "net/CancelToken.h"
#include "net/IpLiteral.h"
#include "platform/DetachedThread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace {

std::atomic<ASocket::NameResolver> nameResolver{&platform::resolveAddresses};

struct ErrorTextRow {
    int code;
    const char* text;
};

constexpr ErrorTextRow kErrorTexts[] = {
    {0, "No error"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open sockets"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Net connection reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network system is unavailable"},
    {10092, "Winsock version out of range"},
    {10093, "WSAStartup not yet called"},
    {10101, "Graceful shutdown in progress"},
    {11001, "Host not found"},
    {11004, "No host data of that type was found"},
};

// A lookup that its caller may stop waiting for. The helper thread and the caller share only
// this, through shared ownership, so whichever finishes last frees it.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool abandoned = false;
    int code = 0;
    std::vector<platform::IpAddress> addresses;
};

int resolveUnderToken(CancelToken& token, ASocket::NameResolver resolver, const std::string& host,
                      std::vector<platform::IpAddress>& addresses) {
    auto pending = std::make_shared<PendingLookup>();
    const bool armed = token.arm([pending] {
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->abandoned = true;
        pending->changed.notify_all();
    });
    if (!armed) {
        return platform::kSockInterrupted;
    }
    const bool started = platform::startDetachedThread([pending, resolver, host] {
        std::vector<platform::IpAddress> found;
        const int code = resolver(host, found);
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->code = code;
        pending->addresses = std::move(found);
        pending->done = true;
        pending->changed.notify_all();
    });
    if (!started) {
        token.disarm();
        return platform::kSockNoRecovery;
    }
    std::unique_lock<std::mutex> lock(pending->mutex);
    pending->changed.wait(lock, [&] { return pending->done || pending->abandoned; });
    const bool finished = pending->done;
    const int code = pending->code;
    addresses = std::move(pending->addresses);
    lock.unlock();
    token.disarm();
    return finished ? code : platform::kSockInterrupted;
}

// The address a literal host names by itself, which needs no name service.
bool literalAddress(const std::string& host, platform::IpAddress& address) {
    address = platform::IpAddress{};
    if (ASocket::isDottedAddress(host)) {
        const std::uint32_t dotted = ASocket::parseAddress(host);
        std::memcpy(address.bytes.data(), &dotted, sizeof dotted);
        return true;
    }
    const std::optional<net::Ipv6Bytes> v6 = net::ipv6Literal(net::withoutBrackets(host));
    if (!v6) {
        return false;
    }
    address.family = platform::AddressFamily::IPv6;
    std::copy(v6->begin(), v6->end(), address.bytes.begin());
    return true;
}

} // namespace

int startNetwork() {
    return platform::netStartup();
}

void stopNetwork() {
    platform::netCleanup();
}

ASocket::ASocket(bool closeOnDestroy)
    : handle(platform::kInvalidSocket), blocking(true), closeOnDestroy(closeOnDestroy) {}

ASocket::~ASocket() {
    if (closeOnDestroy) {
        ASocket::close();
    }
    closeOnDestroy = false;
}

void ASocket::close() {
    if (handle != platform::kInvalidSocket) {
        platform::sockClose(handle);
        handle = platform::kInvalidSocket;
    }
}

void ASocket::shutdown(int how) {
    if (handle != platform::kInvalidSocket) {
        platform::sockShutdown(handle, how);
    }
}

int ASocket::setBlocking(bool blocking) {
    this->blocking = blocking;
    return platform::sockSetBlocking(handle, blocking);
}

platform::SocketHandle ASocket::getHandle() const {
    if (handle == platform::kInvalidSocket) {
        throw std::runtime_error("ASocket::getHandle -- socket handle is not valid");
    }
    return handle;
}

std::vector<platform::IpAddress> ASocket::lookupAddresses(const std::string& host) {
    std::vector<platform::IpAddress> addresses(1);
    if (literalAddress(host, addresses.front())) {
        return addresses;
    }
    addresses.clear();
    const NameResolver resolver = nameResolver.load();
    CancelToken* token = CancelToken::current();
    int code = token != nullptr ? resolveUnderToken(*token, resolver, host, addresses)
                                : resolver(host, addresses);
    if (code == 0 && addresses.empty()) {
        code = platform::kSockNoData;
    }
    if (code != 0) {
        platform::setLastSocketError(code);
        throw std::runtime_error(
            "ASocket::lookupHostname -- failed to lookup host name in DNS -- " + host);
    }
    return addresses;
}

std::string ASocket::lookupHostname(const std::string& host) {
    if (isDottedAddress(host)) {
        return host;
    }
    const std::vector<platform::IpAddress> addresses = lookupAddresses(host);
    // IPv4 first: SOCKS 4 can carry only an IPv4 address, and its callers read it from here.
    const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const auto& address) {
        return address.family == platform::AddressFamily::IPv4;
    });
    return platform::addressText(v4 != addresses.end() ? *v4 : addresses.front());
}

bool ASocket::isDottedAddress(const std::string& text) {
    // Winsock's inet_addr has taken a single blank for the address 0.0.0.0.
    if (text == " ") {
        return false;
    }
    return parseAddress(text) != platform::kAddressNone;
}

std::uint32_t ASocket::parseAddress(const std::string& text) {
    return platform::parseDotted(text);
}

std::string ASocket::errorText(int code) {
    for (const ErrorTextRow& row : kErrorTexts) {
        if (row.code == code) {
            return row.text;
        }
    }
    return "Unknown Error: " + std::to_string(code);
}

ASocket::NameResolver ASocket::setNameResolver(NameResolver resolver) {
    return nameResolver.exchange(resolver);
}
