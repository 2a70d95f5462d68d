// The proxy environment variables, presented the way WinINet presents one connection: the LAN
// with the proxy flag and a server text of the form "http=h:p;https=h:p;socks=h:p". Where
// libproxy is installed, it answers as a configuration script would, for the target itself.
//
// The variables follow curl's conventions: a lower-case name wins over its upper-case form,
// http_proxy and https_proxy serve their own scheme, all_proxy serves the schemes whose own
// variable is unset, a URL without a scheme is an HTTP proxy, a missing port is 1080. The URL's
// scheme decides what kind of proxy it names, whichever variable holds it.
#include "platform/ProxySettings.h"

#include "platform/PortNumber.h"
#include "platform/posix/LibProxy.h"

#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

// The highest version with per-connection settings, whose shape the environment is given in.
constexpr const char* kVersionText = "9.0";
constexpr std::uint16_t kDefaultProxyPort = 1080;
constexpr std::uint32_t kAccessTypeDirect = 1; // INTERNET_OPEN_TYPE_DIRECT

struct Variable {
    const char* lower;
    const char* upper;
};

constexpr Variable kHttpVariable{"http_proxy", "HTTP_PROXY"};
constexpr Variable kHttpsVariable{"https_proxy", "HTTPS_PROXY"};
constexpr Variable kAllVariable{"all_proxy", "ALL_PROXY"};
constexpr Variable kNoProxyVariable{"no_proxy", "NO_PROXY"};

struct Setting {
    std::string name;  // the form of the variable that was read
    std::string value; // empty when neither form is set
};

Setting readVariable(const Variable& variable) {
    for (const char* name : {variable.lower, variable.upper}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
            return {name, value};
        }
    }
    return {variable.lower, std::string()};
}

enum class ProxyKind { Http, Socks4, Unusable };

struct ParsedProxy {
    ProxyKind kind = ProxyKind::Unusable;
    std::string hostAndPort; // "host:port", when usable
    std::string shownUrl;    // the URL without user name and password, for the log
};

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

ProxyKind kindOfScheme(const std::string& scheme) {
    if (scheme.empty() || scheme == "http") {
        return ProxyKind::Http;
    }
    if (scheme == "socks4" || scheme == "socks4a" || scheme == "socks") {
        return ProxyKind::Socks4;
    }
    // socks5 and socks5h need a SOCKS 5 exchange, https a TLS session with the proxy.
    return ProxyKind::Unusable;
}

// Only names and dotted addresses: a ';', '=' or ' ' would split the server text.
bool isHostName(const std::string& host) {
    if (host.empty()) {
        return false;
    }
    for (const char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

ParsedProxy parseProxyUrl(const std::string& url) {
    ParsedProxy parsed;
    std::string scheme;
    std::string rest = url;
    if (const auto separator = url.find("://"); separator != std::string::npos) {
        scheme = lowerCase(url.substr(0, separator));
        rest = url.substr(separator + 3);
    }
    // The user information goes before any other cut: its password may hold '/', '?' or '#',
    // which would otherwise end the authority early and leave the password in the log.
    if (const auto at = rest.rfind('@'); at != std::string::npos) {
        rest = rest.substr(at + 1);
    }
    const std::string authority = rest.substr(0, rest.find_first_of("/?#"));
    parsed.shownUrl = scheme.empty() ? authority : scheme + "://" + authority;
    std::string host = authority;
    std::uint16_t port = kDefaultProxyPort;
    if (const auto colon = authority.rfind(':'); colon != std::string::npos) {
        host = authority.substr(0, colon);
        if (!parsePort(authority.substr(colon + 1), port)) {
            return parsed;
        }
    }
    if (!isHostName(host)) {
        return parsed;
    }
    parsed.kind = kindOfScheme(scheme);
    parsed.hostAndPort = host + ":" + std::to_string(port);
    return parsed;
}

struct Entries {
    std::string http;
    std::string https;
    std::string socks;
    std::vector<UnusableProxy> unusable;
};

// Reads one variable; `own` is the scheme entry it serves, `alsoFor` a second one (all_proxy
// serves http and https alike) or null.
void take(const Setting& setting, std::string* own, std::string* alsoFor, Entries& entries) {
    const ParsedProxy parsed = parseProxyUrl(setting.value);
    switch (parsed.kind) {
    case ProxyKind::Unusable:
        entries.unusable.push_back({setting.name, parsed.shownUrl});
        break;
    case ProxyKind::Socks4:
        if (entries.socks.empty()) {
            entries.socks = parsed.hostAndPort;
        }
        break;
    case ProxyKind::Http:
        for (std::string* entry : {own, alsoFor}) {
            if (entry != nullptr) {
                *entry = parsed.hostAndPort;
            }
        }
        break;
    }
}

ProxyQueryResult readEnvironment() {
    Entries entries;
    const Setting http = readVariable(kHttpVariable);
    const Setting https = readVariable(kHttpsVariable);
    const Setting all = readVariable(kAllVariable);
    if (!http.value.empty()) {
        take(http, &entries.http, nullptr, entries);
    }
    if (!https.value.empty()) {
        take(https, &entries.https, nullptr, entries);
    }
    if (!all.value.empty()) {
        take(all, http.value.empty() ? &entries.http : nullptr,
             https.value.empty() ? &entries.https : nullptr, entries);
    }

    ProxyQueryResult result;
    result.flags = kProxyTypeDirect;
    result.unusable = entries.unusable;
    std::string server;
    for (const auto& [scheme, entry] :
         {std::pair<const char*, const std::string&>{"http", entries.http},
          {"https", entries.https},
          {"socks", entries.socks}}) {
        if (!entry.empty()) {
            server += (server.empty() ? "" : ";") + std::string(scheme) + "=" + entry;
        }
    }
    if (!server.empty()) {
        result.flags |= kProxyTypeProxy;
        result.server = server;
    }
    if (const Setting noProxy = readVariable(kNoProxyVariable); !noProxy.value.empty()) {
        result.bypass = noProxy.value;
    }
    return result;
}

class CEnvironmentSession : public AProxySettingsSession {
public:
    std::string versionText() override { return kVersionText; }

    std::vector<std::string> dialUpConnections() override { return {}; }

    ProxyQueryResult queryGlobal() override {
        ProxyQueryResult result = readEnvironment();
        result.flags = result.server ? kAccessTypeProxy : kAccessTypeDirect;
        return result;
    }

    // The environment holds one setting, which answers for every connection.
    ProxyQueryResult queryConnection(const std::string&) override { return readEnvironment(); }

    // libproxy finds the settings itself, so where it is installed it is always asked, as a
    // discovery would be.
    std::optional<AutomaticProxySettings> automaticSettings() override {
        if (!libproxy::available()) {
            return std::nullopt;
        }
        AutomaticProxySettings settings;
        settings.autoDetect = true;
        return settings;
    }

    ProxyScriptQuery scriptQuery(const ProxyScriptRequest& request) override {
        return libproxy::scriptQuery(request);
    }
};

class CEnvironmentSource : public AProxySettingsSource {
public:
    ProxySettingsOpen open(std::unique_ptr<AProxySettingsSession>& session) override {
        session = std::make_unique<CEnvironmentSession>();
        return ProxySettingsOpen::Ready;
    }
};

} // namespace

AProxySettingsSource& systemProxySettings() {
    static CEnvironmentSource source;
    return source;
}

} // namespace platform
