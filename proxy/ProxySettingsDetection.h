// Turns the proxy servers of the system's Internet settings into candidates for the probe.
#pragma once

#include "proxy/ProxyTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class AProxySettingsSource;
}

// Appends one candidate per target for every proxy entry the settings name, and logs what it
// reads. True when the settings version was known and no query failed; after any failure no
// candidate at all is appended.
bool detectProxySettings(CTCPProxyConnector* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets);

// The same over a given source of settings instead of the system's.
bool detectProxySettings(CTCPProxyConnector* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets, platform::AProxySettingsSource& source);

// Finds the entry for `scheme` ("http=host:port" or "http://host:port"), or with a null scheme
// a text that names no scheme at all ("host:port"), in a proxy server text. Sets host and port
// only when it finds one.
bool parseProxyEntry(const std::string& proxyText, const char* scheme, std::string& host,
                     std::uint16_t& port);
