// Turns the proxy servers of the system's Internet settings into candidates for the probe.
#pragma once

#include "platform/ProxySettings.h"
#include "proxy/methods/ProxyTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// A configuration script to run for one target, as the settings ask for it.
struct ProxyScriptJob {
    TargetAddress target;
    platform::ProxyScriptQuery query;
};

// Appends one candidate per target for every proxy entry the settings name, and logs what it
// reads. True when the settings version was known and no query of the user's settings failed;
// after such a failure none of the user's static proxies is appended. The machine-wide proxy is
// appended in any case.
bool detectProxySettings(methods::RouteTrier* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets);

// The same over a given source of settings instead of the system's.
bool detectProxySettings(methods::RouteTrier* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets, platform::ProxySettingsSource& source);

// The same, also handing back one job per target when the settings ask for a configuration
// script or discovery; the jobs own what they need and outlive the settings session.
bool detectProxySettings(methods::RouteTrier* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets, platform::ProxySettingsSource& source,
                         std::vector<ProxyScriptJob>& scripts);

namespace routes {

enum class ProxyEntry {
    Absent,  // no entry for the scheme, or one without a colon
    Found,   // host and port set
    BadPort, // host set; the port is not a number from 1 to 65535 and the entry is not usable
};

} // namespace routes

// Finds the entry for `scheme` ("http=host:port" or "http://host:port"), or with a null scheme
// a text that names no scheme at all ("host:port"), in a proxy server text. The port is the
// digits right after the colon. Sets host and port only as the result says.
routes::ProxyEntry parseProxyEntry(const std::string& proxyText, const char* scheme,
                                   std::string& host, std::uint16_t& port);
