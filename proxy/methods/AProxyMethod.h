// One way of opening a TCP stream to a target server: straight to it, or through a proxy. The
// base class is the null method, which never connects.
#pragma once

#include "log/LogText.h"
#include "proxy/methods/ProxyTypes.h"

#include <cstdint>
#include <string>

class CTCPSocket;

class AProxyMethod {
public:
    AProxyMethod() = default;
    virtual ~AProxyMethod();

    AProxyMethod(const AProxyMethod&) = delete;
    AProxyMethod& operator=(const AProxyMethod&) = delete;

    // A list form that no method implements; it always fails.
    virtual bool connectList(void* context, TargetList targets, std::string host,
                             std::uint16_t port);

    // Opens the stream. On success *socketOut holds a connected socket, built not to close its
    // handle on destruction, which the caller now owns; on failure it is null and nothing of the
    // attempt is left open. The null method returns false and leaves *socketOut alone.
    virtual bool connect(CTCPSocket** socketOut, std::string targetHost, std::uint16_t targetPort,
                         std::string proxyHost, std::uint16_t proxyPort);

    // The socket error the last attempt left; 0 when it failed without one.
    int getLastError() const { return lastError; }

protected:
    int lastError = 0;
};
