// The values that travel between the connector, the methods, detection and the probe.
#pragma once

#include "platform/ProxyCredentials.h"

#include <cstdint>
#include <string>
#include <vector>

namespace methods {
class RouteTrier;
}

// A server to reach. Host texts compare byte for byte: letter case counts. Here and in every
// candidate and record an IPv6 address stands without brackets; only texts that put a port
// after it (net/HostText.h) add them.
struct TargetAddress {
    std::string host;
    std::uint16_t port = 0;

    bool operator==(const TargetAddress& other) const {
        return host == other.host && port == other.port;
    }
};

using TargetList = std::vector<TargetAddress>;

// One code names either a connection method (what a single try does, and what a stored record
// holds in its ProxyMethod value) or a connector mode (which strategy a call runs).
using ProxyMethodCode = std::int32_t;

constexpr ProxyMethodCode MethodDirect = 0;
constexpr ProxyMethodCode MethodHttpConnect = 100;
constexpr ProxyMethodCode MethodSocks = 200;
constexpr ProxyMethodCode MethodSocks5 = 300;
constexpr ProxyMethodCode ModeAuto = -10;
constexpr ProxyMethodCode ModeProbe = -11;
constexpr ProxyMethodCode ModeDetected = -51;
constexpr ProxyMethodCode ModeLastGood = -52;
constexpr ProxyMethodCode ModeManual = -53;
constexpr ProxyMethodCode ModeStored = -54;

using ProxyCredentials = platform::ProxyCredentials;

// One way to try, as detection finds it and the probe runs it; `connector` makes its try.
struct ProxyCandidate {
    explicit ProxyCandidate(methods::RouteTrier* connector) : connector(connector) {}

    methods::RouteTrier* connector;
    std::string targetHost;
    std::uint16_t targetPort = 0;
    ProxyMethodCode method = ModeAuto;
    std::string proxyHost;
    std::uint16_t proxyPort = 0;
    std::int32_t error = 0;
    bool connected = false;
    std::int32_t writeOrder = 0;  // connected candidates are recorded lowest pass first
    std::int32_t elapsedMs = -1;  // -1 until the attempt has ended
    ProxyCredentials credentials; // empty unless the proxy's URL carried them
};
