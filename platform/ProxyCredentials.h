// A user name and password that a proxy's URL carried, for the proxies that take them (SOCKS 5).
// They go to that proxy only: never into the log, never into a record.
#pragma once

#include <string>

namespace platform {

struct ProxyCredentials {
    std::string user;
    std::string password;

    bool empty() const { return user.empty() && password.empty(); }
};

} // namespace platform
