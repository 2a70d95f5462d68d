// The proxy settings the system holds for the current user, read as they are and handed on as
// plain data: Windows answers through WinINet and the registry, POSIX through the proxy
// environment variables. Deciding what the settings mean is left to the caller.
#pragma once

#include <cstdint>
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

// A proxy the environment names but no connection method here can speak (SOCKS 5, a proxy
// reached over TLS, an IPv6 literal, a text that is no host and port).
struct UnusableProxy {
    std::string variable; // the environment variable that named it
    std::string url;      // its value, any user name and password left out
};

// What one query of the settings answered.
struct ProxyQueryResult {
    long error = 0;          // 0 when the query answered, else the system error code
    std::uint32_t flags = 0; // per connection: PROXY_TYPE_* flags; global: the access type
    std::optional<std::string> server; // absent when the system gave no text at all
    std::optional<std::string> bypass;
    std::vector<UnusableProxy> unusable; // only the POSIX side names any
};

// The settings while the library that answers for them is loaded; destroying the session
// releases the library.
class AProxySettingsSession {
public:
    virtual ~AProxySettingsSession() = default;

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
};

enum class ProxySettingsOpen {
    Ready,
    NoLibrary,       // the settings library could not be loaded
    NoQueryFunction, // it was loaded but lacks the query function; it has been released again
};

class AProxySettingsSource {
public:
    virtual ~AProxySettingsSource() = default;

    // Loads what answers for the settings; `session` is set only with Ready.
    virtual ProxySettingsOpen open(std::unique_ptr<AProxySettingsSession>& session) = 0;
};

// This system's settings.
AProxySettingsSource& systemProxySettings();

} // namespace platform
