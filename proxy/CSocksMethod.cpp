#include "proxy/CSocksMethod.h"

#include "log/lprintf.h"
#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "platform/Socket.h"
#include "proxy/SocksWire.h"

#include <cstring>
#include <exception>

namespace {

// Not a dotted address: no part of one may exceed 255. Stands for a target that did not resolve.
constexpr const char* kUnresolved = "256.256.256.256";

} // namespace

CSocksMethod::~CSocksMethod() = default;

bool CSocksMethod::connect(CTCPSocket** socketOut, std::string targetHost, std::uint16_t targetPort,
                           std::string proxyHost, std::uint16_t proxyPort) {
    const std::string host = printable(targetHost);
    const int port = targetPort;

    if (breaksTheLine(targetHost)) {
        lastError = platform::kSockInvalidArgument;
        lprintf("PROXY: [SOCKS %s:%d] target host refused: it holds a line break or a zero byte\n",
                host.c_str(), port);
        *socketOut = nullptr;
        return false;
    }

    *socketOut = new CTCPSocket(false);
    bool connected = false;
    try {
        connected = (*socketOut)->connect(proxyHost, proxyPort);
    } catch (const std::exception& e) {
        lprintf("PROXY: [SOCKS %s:%d] exception connecting to proxy '%s' %d\n", host.c_str(), port,
                e.what(), lastError);
    }
    if (!connected) {
        lastError = platform::lastSocketError();
        lprintf("PROXY: [SOCKS %s:%d] error connecting to proxy %d\n", host.c_str(), port,
                lastError);
        return fail(socketOut);
    }

    std::string addressText;
    try {
        addressText = ASocket::lookupHostname(targetHost);
    } catch (...) {
        addressText = kUnresolved;
    }
    // A target this machine cannot resolve goes out by name, for the proxy to resolve (4a).
    const std::uint32_t address = ASocket::parseAddress(addressText);
    std::uint8_t addressBytes[4];
    std::memcpy(addressBytes, &address, sizeof addressBytes);
    const bool byName = address == platform::kAddressNone;

    std::uint8_t buffer[socks::kBufferSize];
    const std::size_t length =
        socks::buildRequest(buffer, targetPort, byName ? nullptr : addressBytes, targetHost);
    if (length == 0) {
        lastError = platform::kSockInvalidArgument;
        lprintf("PROXY: [SOCKS %s:%d] target host too long for the request (%u characters, at "
                "most %u)\n",
                host.c_str(), port, static_cast<unsigned>(targetHost.size()),
                static_cast<unsigned>(socks::kMaxHostLength));
        return fail(socketOut);
    }

    const int written = (*socketOut)
                            ->write(CTCPSocket::BlockingAll, reinterpret_cast<const char*>(buffer),
                                    static_cast<int>(length), &lastError);
    if (written == -1 || written < static_cast<int>(length)) {
        lprintf("PROXY: [SOCKS %s:%d] error writing request %d\n", host.c_str(), port, lastError);
        return fail(socketOut);
    }

    const int got = (*socketOut)
                        ->read(CTCPSocket::BlockingAll, reinterpret_cast<char*>(buffer),
                               static_cast<int>(socks::kReplyLength), &lastError);
    if (got == -1 || got < static_cast<int>(socks::kReplyLength)) {
        lprintf("PROXY: [SOCKS %s:%d] error reading response %d\n", host.c_str(), port, lastError);
        return fail(socketOut);
    }

    // Reply bytes are logged as signed 8-bit numbers.
    const auto version = static_cast<std::int8_t>(buffer[0]);
    const auto code = static_cast<std::int8_t>(buffer[1]);
    if (buffer[0] != socks::kReplyVersion) {
        lprintf("PROXY: [SOCKS %s:%d] Unknown version %d\n", host.c_str(), port, version);
        return fail(socketOut);
    }
    if (buffer[1] == socks::kGranted) {
        return true;
    }
    if (buffer[1] == socks::kRejected) {
        lprintf("PROXY: [SOCKS %s:%d] rejected %d\n", host.c_str(), port, code);
    } else {
        lprintf("PROXY: [SOCKS %s:%d] Unknown response %d\n", host.c_str(), port, code);
    }
    return fail(socketOut);
}
