// Connects straight to the target server.
#pragma once

#include "proxy/methods/AProxyMethod.h"

class CDirectMethod : public AProxyMethod {
public:
    ~CDirectMethod() override;

    bool connect(CTCPSocket** socketOut, std::string targetHost, std::uint16_t targetPort,
                 std::string proxyHost, std::uint16_t proxyPort) override;
};
