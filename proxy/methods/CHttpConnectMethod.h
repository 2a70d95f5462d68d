// Tunnels through an HTTP proxy: asks it with a CONNECT request to open a connection to the
// target server, then hands on the stream past the proxy's answer.
#pragma once

#include "proxy/methods/AProxyMethod.h"

class CHttpConnectMethod : public AProxyMethod {
public:
    ~CHttpConnectMethod() override;

    bool connect(CTCPSocket** socketOut, std::string targetHost, std::uint16_t targetPort,
                 std::string proxyHost, std::uint16_t proxyPort) override;
};
