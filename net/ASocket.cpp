#include "net/ASocket.h"

#include "net/CancelToken.h"
#include "platform/DetachedThread.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace {

std::atomic<ASocket::NameResolver> nameResolver{&platform::resolveFirstIPv4};

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
    std::uint32_t address = 0;
};

int resolveUnderToken(CancelToken& token, ASocket::NameResolver resolver, const std::string& host,
                      std::uint32_t& address) {
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
        std::uint32_t found = 0;
        const int code = resolver(host, found);
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->code = code;
        pending->address = found;
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
    address = pending->address;
    lock.unlock();
    token.disarm();
    return finished ? code : platform::kSockInterrupted;
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

std::string ASocket::lookupHostname(const std::string& host) {
    if (isDottedAddress(host)) {
        return host;
    }
    const NameResolver resolver = nameResolver.load();
    std::uint32_t address = 0;
    CancelToken* token = CancelToken::current();
    const int code = token != nullptr ? resolveUnderToken(*token, resolver, host, address)
                                      : resolver(host, address);
    if (code != 0) {
        platform::setLastSocketError(code);
        throw std::runtime_error(
            "ASocket::lookupHostname -- failed to lookup host name in DNS -- " + host);
    }
    return formatAddress(address);
}

std::string ASocket::formatAddress(std::uint32_t address) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' +
           std::to_string(bytes[2]) + '.' + std::to_string(bytes[3]);
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
