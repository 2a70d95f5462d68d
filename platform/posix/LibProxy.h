// libproxy, the desktop's own proxy library (environment, GNOME and KDE settings, PAC and WPAD
// where its plug-ins are installed), opened at run time: the program neither builds nor runs
// against it, and without it the environment variables alone answer.
#pragma once

#include "platform/ProxySettings.h"

namespace platform::libproxy {

// True when libproxy is installed and has the functions used here.
bool available();

// A query that asks libproxy for the proxies of request.url when called. libproxy reads the
// settings itself, so the request's script URL and discovery flag are not passed on.
ProxyScriptQuery scriptQuery(const ProxyScriptRequest& request);

} // namespace platform::libproxy
