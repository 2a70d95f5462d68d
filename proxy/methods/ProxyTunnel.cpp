#include "proxy/methods/ProxyTunnel.h"

#include "log/LogText.h"
#include "net/HostText.h"
#include "platform/Socket.h"
#include "proxy/methods/AttemptLog.h"

#include <cstdarg>
#include <exception>

ProxyTunnel::ProxyTunnel(const Wording& wording, const std::string& targetHost,
                         std::uint16_t targetPort)
    : wording(wording), prefix(std::string("PROXY: [") + wording.tag + " " +
                               printable(net::hostAndPortText(targetHost, targetPort)) + "]") {}

bool ProxyTunnel::open(const std::string& proxyHost, std::uint16_t proxyPort, int& error) {
    bool connected = false;
    try {
        connected = owned->connect(proxyHost, proxyPort);
    } catch (const std::exception& e) {
        // Written with the error the attempt held before, as the next line gives the lookup's.
        say("exception connecting to proxy '%s' %d", e.what(), error);
    }
    if (!connected) {
        error = platform::lastSocketError();
        say("%s %d", wording.connectFailed, error);
    }
    return connected;
}

bool ProxyTunnel::reopen(const std::string& proxyHost, std::uint16_t proxyPort, int& error) {
    owned = OwnedStream();
    return open(proxyHost, proxyPort, error);
}

bool ProxyTunnel::send(const void* request, std::size_t length, int& error) {
    const int written = owned->write(CTCPSocket::BlockingAll, static_cast<const char*>(request),
                                     static_cast<int>(length), &error);
    if (written < static_cast<int>(length) || error != 0) {
        say("error writing request %d", error);
        return false;
    }
    return true;
}

void ProxyTunnel::say(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    attemptLine(prefix, format, arguments);
    va_end(arguments);
}
