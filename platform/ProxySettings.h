// The proxy settings the system holds for the current user, read as they are and handed on as
// plain data: Windows answers through WinINet, WinHTTP and the registry, POSIX through the proxy
// environment variables and, where it is installed, libproxy. Deciding what the settings mean is
// left to the caller.
#pragma once

#include "platform/ProxyCredentials.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Flags of one connection, as WinINet numbers them (PROXY_TYPE_*).
constexpr std::uint32_t kProxyTypeDirect = 0x1;
constexpr std::uint32_t kProxyTypeProxy = 0x2;
constexpr std::uint32_t kProxyTypeAutoProxyUrl = 0x4;
constexpr std::uint32_t kProxyTypeAutoDetect = 0x8;

// Access type of the global settings that means "through a proxy" (INTERNET_OPEN_TYPE_PROXY).
constexpr std::uint32_t kAccessTypeProxy = 3;

// A proxy the environment names but no connection method here can speak (a proxy reached over
// TLS, an IPv6 literal, a text that is no host and port).
struct UnusableProxy {
    std::string variable; // the environment variable that named it
    std::string url;      // its value, any user name and password left out
};

// What one query of the settings answered.
struct ProxyQueryResult {
    // Set apart from the error code: a system call may fail without setting its last error.
    bool failed = false;
    long error = 0;          // the system error code of a failed query, which may be 0
    std::uint32_t flags = 0; // per connection: PROXY_TYPE_* flags; global: the access type
    std::optional<std::string> server; // absent when the system gave no text at all
    std::optional<std::string> bypass;
    std::vector<UnusableProxy> unusable; // only the POSIX side names any
    // The user information of the URL behind the server text's "socks5=" entry; only the POSIX
    // side names any.
    ProxyCredentials socks5Credentials;
};

// Automatic configuration that the user's settings ask for, as the second settings library
// (WinHTTP) reads them; it knows the script's URL where the first one only knows a flag.
struct AutomaticProxySettings {
    bool autoDetect = false;
    std::optional<std::string> scriptUrl;
};

// A configuration script to run, or discovery to make, for one target URL.
struct ProxyScriptRequest {
    std::string url;                      // the target as the script sees it
    std::optional<std::string> scriptUrl; // the script to fetch, if one is named
    bool autoDetect = false;              // look for a script through DHCP and DNS
};

// What the script answered for the request.
struct ProxyScriptAnswer {
    bool failed = false;
    long error = 0;      // the system error code of a failed run, which may be 0
    std::string proxies; // the list as the system words it, such as "a:80;b:81" or "PROXY a:80"
};

// Runs one request to the end, however long that takes. It owns everything it touches, so it
// may run on a thread whose caller has stopped waiting for it.
using ProxyScriptQuery = std::function<ProxyScriptAnswer()>;

// The settings while the library that answers for them is loaded; destroying the session
// releases the library.
class ProxySettingsSession {
public:
    virtual ~ProxySettingsSession() = default;

    // The browser version whose first character tells which settings interface applies; empty
    // when it cannot be read.
    virtual std::string versionText() = 0;

    // The names of the dial-up connections, in the order the system lists them. The LAN, which
    // has no name, is not among them.
    virtual std::vector<std::string> dialUpConnections() = 0;

    // The one setting for all connections.
    virtual ProxyQueryResult queryGlobal() = 0;

    // The setting of one connection; the empty name stands for the LAN.
    virtual ProxyQueryResult queryConnection(const std::string& name) = 0;

    // The sources below are optional; a system without them answers nothing.

    // Automatic configuration as the second library reads it; absent when it cannot be asked.
    virtual std::optional<AutomaticProxySettings> automaticSettings() { return std::nullopt; }

    // How to run a script request; empty when this system cannot run scripts.
    virtual ProxyScriptQuery scriptQuery(const ProxyScriptRequest&) { return nullptr; }

    // The machine-wide proxy that services use, its access type in `flags`; absent when this
    // system has none.
    virtual std::optional<ProxyQueryResult> queryMachineWide() { return std::nullopt; }
};

enum class ProxySettingsOpen {
    Ready,
    NoLibrary,       // the settings library could not be loaded
    NoQueryFunction, // it was loaded but lacks the query function; it has been released again
};

class ProxySettingsSource {
public:
    virtual ~ProxySettingsSource() = default;

    // Loads what answers for the settings; `session` is set only with Ready.
    virtual ProxySettingsOpen open(std::unique_ptr<ProxySettingsSession>& session) = 0;
};

// This system's settings.
ProxySettingsSource& systemProxySettings();

} // namespace platform
