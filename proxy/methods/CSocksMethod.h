// Tunnels through a SOCKS proxy with version 4, or 4a for a target name this machine cannot
// resolve, so that the proxy resolves it.
#pragma once

#include "proxy/methods/AProxyMethod.h"

class CSocksMethod : public AProxyMethod {
public:
    ~CSocksMethod() override;

    bool connect(CTCPSocket** socketOut, std::string targetHost, std::uint16_t targetPort,
                 std::string proxyHost, std::uint16_t proxyPort) override;
};
