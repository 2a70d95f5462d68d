// What WinHTTP knows beyond WinINet's static settings: the user's configuration script and
// discovery flag, a script run for one URL, and the machine-wide proxy that services use.
// Each call loads winhttp.dll from the system directory and releases it before returning.
#pragma once

#include "platform/ProxySettings.h"

namespace platform::winhttp {

// Absent when WinHTTP or its query is missing, or the query fails.
std::optional<AutomaticProxySettings> automaticSettings();

// The machine-wide proxy (set with "netsh winhttp set proxy"); absent without WinHTTP.
std::optional<ProxyQueryResult> machineWide();

// A query that runs the request through WinHttpGetProxyForUrl when called.
ProxyScriptQuery scriptQuery(const ProxyScriptRequest& request);

} // namespace platform::winhttp
