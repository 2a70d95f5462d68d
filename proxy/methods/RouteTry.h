// One try of one route (straight to the target, through an HTTP proxy with CONNECT, or through a
// SOCKS 4 or SOCKS 5 proxy): it opens a stream or gives the error, and knows nothing of modes,
// records or who takes the stream over. The stored modes and the probe both try their routes with
// it.
#pragma once

#include "proxy/methods/OwnedStream.h"
#include "proxy/methods/ProxyTypes.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace methods {

struct Route {
    ProxyMethodCode method = MethodDirect;
    std::string targetHost;
    std::uint16_t targetPort = 0;
    std::string proxyHost; // ignored by the direct method
    std::uint16_t proxyPort = 0;
    ProxyCredentials credentials{}; // for the SOCKS 5 method only; records hold none
};

Route routeOf(const ProxyCandidate& candidate);

struct TryOutcome {
    OwnedStream stream{nullptr}; // the open stream, held only when the try connected
    std::int32_t error = 0;      // the socket error of a failed try; 0 when it had none

    bool connected() const { return static_cast<bool>(stream); }
};

// Tries the route under the cancel token installed on the calling thread, if any. A code that
// names no method fails without an error.
TryOutcome tryRoute(const Route& route);

// The same under a cancel token of its own, cancelled after `deadline`: a proxy that accepts and
// never answers costs no more than that.
TryOutcome tryRoute(const Route& route, std::chrono::milliseconds deadline);

// What the probe reaches the single try through, declared beneath it so that it needs nothing
// above it. Tries run on many threads at once, each under its own thread's cancel token.
class RouteTrier {
public:
    virtual ~RouteTrier();
    virtual TryOutcome tryRoute(const Route& route) = 0;
};

} // namespace methods
