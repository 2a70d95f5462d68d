// Passes a proxy that answered CONNECT with 407: answers its Negotiate or NTLM challenges with
// the signed-in user's credentials, round by round (see AuthRounds), on the tunnel's connection
// or, where the proxy will not keep it, on a new one.
#pragma once

#include "proxy/methods/HttpAnswer.h"
#include "proxy/methods/ProxyTunnel.h"

#include <cstdint>
#include <string>

struct ProxyEndpoints {
    std::string targetHost;
    std::uint16_t targetPort;
    std::string proxyHost;
    std::uint16_t proxyPort;
};

// After `first`, the 407 answer to the plain request: true when the tunnel opened, with the
// bytes beyond the final answer given back to the stream; false with every step logged.
bool authenticate(ProxyTunnel& tunnel, const ProxyEndpoints& endpoints, const HttpAnswer& first,
                  int& error);
