// Turns the proxy servers of the system's Internet settings into candidates for the probe.
#pragma once

#include "platform/ProxySettings.h"
#include "proxy/methods/ProxyTypes.h"

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
