// Tunnels through a SOCKS 5 proxy: literal targets go as addresses, names for the proxy to
// resolve; a user name and password are offered only when the proxy's URL carried them.
#pragma once

#include "proxy/methods/AProxyMethod.h"

class CSocks5Method : public AProxyMethod {
public:
    explicit CSocks5Method(ProxyCredentials credentials = {});
    ~CSocks5Method() override;

    bool connect(CTCPSocket** socketOut, std::string targetHost, std::uint16_t targetPort,
                 std::string proxyHost, std::uint16_t proxyPort) override;

private:
    ProxyCredentials credentials;
};
