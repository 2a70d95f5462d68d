// The probe as the connector's automatic and probe modes run it: detect the system's proxies, try
// every route at once, rewrite the Detected records, and give the first route that connected to
// the connector's attached socket.
#pragma once

#include "proxy/methods/ProxyTypes.h"

class ASettingsStore;
class CTCPProxyConnector;

namespace platform {
class ProxySettingsSource;
}

// Returns true when at least one candidate connected. After it returns, no thread of it runs.
bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store);

// The same with the proxies that `settings` name instead of the system's.
bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store,
                   platform::ProxySettingsSource& settings);
