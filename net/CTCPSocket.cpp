#include "net/CTCPSocket.h"

#include "net/AddressRace.h"
#include "net/CancelToken.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';

int reportedError(int code) {
    return code == platform::kSockWouldBlock ? 0 : code;
}

} // namespace

CTCPSocket::CTCPSocket(bool closeOnDestroy)
    : ATCPSocket(closeOnDestroy), connected(false), connectedPort(0), localPort(0), peerPort(0),
      targetPort(0), reuseAddress(false) {
    close();
}

CTCPSocket::~CTCPSocket() {
    if (closeOnDestroy) {
        CTCPSocket::close();
    }
    closeOnDestroy = false;
}

void CTCPSocket::close() {
    connectedAddress.clear();
    localAddress.clear();
    peerAddress.clear();
    targetAddress.clear();
    connectedPort = 0;
    localPort = 0;
    peerPort = 0;
    targetPort = 0;
    connected = false;
    pending.clear();
    ASocket::close();
}

template <typename Call>
int CTCPSocket::blockingCall(Call call) {
    CancelToken* token = CancelToken::current();
    if (token == nullptr) {
        return call();
    }
    const platform::SocketHandle watched = handle;
    bool handleClosed = false;
    if (!token->arm([watched, &handleClosed] { handleClosed = platform::sockAbort(watched); })) {
        platform::setLastSocketError(platform::kSockInterrupted);
        return platform::kSockFailed;
    }
    const int result = call();
    if (!token->disarm()) {
        return result;
    }
    if (handleClosed) {
        handle = platform::kInvalidSocket;
    }
    platform::setLastSocketError(platform::kSockInterrupted);
    return platform::kSockFailed;
}

bool CTCPSocket::connect(const std::string& host, std::uint16_t port) {
    if (connected) {
        throw std::runtime_error("CTCPSocket::connect -- already connected");
    }
    try {
        AddressRace race(lookupAddresses(host), port, reuseAddress);
        int error = 0;
        handle = race.run(error);
        if (handle == platform::kInvalidSocket) {
            close();
            platform::setLastSocketError(error);
            return false;
        }
        donateConnectedSocketHandle(handle, "", 0, "", 0);
    } catch (...) {
        close();
        throw;
    }
    connectedAddress = host;
    connectedPort = port;
    return true;
}

void CTCPSocket::donateConnectedSocketHandle(platform::SocketHandle donated,
                                             const std::string& connectedHost,
                                             std::uint16_t connectedPort,
                                             const std::string& targetHost,
                                             std::uint16_t targetPort) {
    if (connected) {
        throw std::runtime_error(
            "CTCPSocket::donateConnectedSocketHandle -- socket already connected");
    }
    platform::Endpoint local;
    if (platform::sockLocalEndpoint(donated, local) != 0) {
        throw std::runtime_error(
            "CTCPSocket::donateConnectedSocketHandle -- error calling getsockname -- " +
            errorText(platform::lastSocketError()));
    }
    platform::Endpoint peer;
    if (platform::sockPeerEndpoint(donated, peer) != 0) {
        throw std::runtime_error(
            "CTCPSocket::donateConnectedSocketHandle -- error calling getpeername -- " +
            errorText(platform::lastSocketError()));
    }
    localAddress = platform::addressText(local.address);
    localPort = local.port;
    peerAddress = platform::addressText(peer.address);
    peerPort = peer.port;
    connectedAddress = connectedHost;
    this->connectedPort = connectedPort;
    if (!targetHost.empty()) {
        try {
            targetAddress = lookupHostname(targetHost);
        } catch (const std::exception&) {
            targetAddress.clear();
        }
        this->targetPort = targetPort;
    }
    connected = true;
    handle = donated;
}

int CTCPSocket::write(IoMode mode, const char* data, int length, int* error) {
    if (length < 0) {
        throw std::runtime_error("CTCPSocket::write -- length is negative");
    }
    if (!connected) {
        throw std::runtime_error("CTCPSocket::write -- not connected");
    }
    *error = 0;
    if (length == kZeroTerminated) {
        // A text longer than an int can count is cut to the longest length there is.
        const std::size_t textLength = std::strlen(data);
        length = textLength < static_cast<std::size_t>(kZeroTerminated)
                     ? static_cast<int>(textLength)
                     : kZeroTerminated;
    }
    if (length == 0) {
        return 0;
    }
    setBlocking(mode != NonBlocking);
    int sent = 0;
    for (;;) {
        const int moved =
            blockingCall([&] { return platform::sockSend(handle, data + sent, length - sent); });
        if (moved == platform::kSockFailed) {
            *error = reportedError(platform::lastSocketError());
            return sent;
        }
        sent += moved;
        if (mode != BlockingAll || sent >= length) {
            return sent;
        }
    }
}

int CTCPSocket::read(IoMode mode, char* buffer, int length, int* error) {
    if (length < 0) {
        throw std::runtime_error("CTCPSocket::read -- length is negative");
    }
    if (!connected) {
        throw std::runtime_error("CTCPSocket::read -- not connected");
    }
    int got = takeUnread(buffer, length);
    if (got > 0 && (mode != BlockingAll || got >= length)) {
        *error = 0;
        return got;
    }
    setBlocking(mode != NonBlocking);
    int received = 0;
    // A length of 0 asks for nothing, which is what a peer that has closed gives too; no call
    // is needed to know the answer.
    while (length > 0) {
        received =
            blockingCall([&] { return platform::sockRecv(handle, buffer + got, length - got); });
        if (received <= 0) {
            break;
        }
        got += received;
        if (mode != BlockingAll || got >= length) {
            *error = 0;
            return got;
        }
    }
    if (got > 0 || received == 0) {
        *error = 0;
        return got > 0 ? got : kPeerClosed;
    }
    *error = reportedError(platform::lastSocketError());
    return 0;
}

int CTCPSocket::readLine(char* buffer, int size, int* error) {
    if (!connected) {
        throw std::runtime_error("CTCPSocket::readLine -- not connected");
    }
    *error = 0;
    setBlocking(true);
    const int room = size - 1;
    int count = 0;
    bool peerClosed = false;
    if (room <= 0) {
        *error = kLineTooLong;
    } else {
        for (;;) {
            char c = 0;
            const int received = takeUnread(&c, 1) == 1 ? 1 : blockingCall([&] {
                return platform::sockRecv(handle, &c, 1);
            });
            if (received == 1) {
                if (c == kLineFeed) {
                    *error = 0;
                    break;
                }
                buffer[count++] = c;
                if (count >= room) {
                    *error = kLineTooLong;
                    break;
                }
            } else if (received == 0) {
                *error = 0;
                peerClosed = true;
                break;
            } else if (received == platform::kSockFailed) {
                *error = platform::lastSocketError();
                break;
            } else {
                throw std::runtime_error(
                    "CTCPSocket::readLine -- unhandled return value from recv (>1)");
            }
        }
    }
    if (size <= 0) {
        return peerClosed ? kPeerClosed : 0;
    }
    if (count > 0 && buffer[count - 1] == kCarriageReturn) {
        --count;
    }
    buffer[count] = '\0';
    return peerClosed ? kPeerClosed : count;
}

void CTCPSocket::unread(const char* data, std::size_t length) {
    pending.insert(0, data, length);
}

int CTCPSocket::takeUnread(char* buffer, int length) {
    const std::size_t taken = std::min(pending.size(), static_cast<std::size_t>(length));
    if (taken == 0) {
        return 0;
    }
    std::memcpy(buffer, pending.data(), taken);
    pending.erase(0, taken);
    return static_cast<int>(taken);
}

std::string CTCPSocket::getConnectedAddress() const {
    if (!connected) {
        throw std::runtime_error("CTCPSocket::getConnectedAddress -- not connected");
    }
    return connectedAddress;
}

std::uint16_t CTCPSocket::getConnectedPort() const {
    if (!connected) {
        throw std::runtime_error("CTCPSocket::getConnectedPort -- not connected");
    }
    return connectedPort;
}
