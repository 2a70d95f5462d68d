// The proxy environment variables, presented the way WinINet presents one connection: the LAN
// with the proxy flag and a server text of the form "http=h:p;https=h:p;socks=h:p;socks5=h:p".
// Where libproxy is installed, it answers as a configuration script would, for the target itself.
//
// The variables follow curl's conventions: a lower-case name wins over its upper-case form,
// http_proxy and https_proxy serve their own scheme, all_proxy serves the schemes whose own
// variable is unset, a URL without a scheme is an HTTP proxy, a missing port is 1080. The URL's
// scheme decides what kind of proxy it names, whichever variable holds it.
#include "platform/ProxySettings.h"

#include "platform/AsciiCase.h"
#include "platform/PortNumber.h"
#include "platform/posix/LibProxy.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

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

enum class ProxyKind { Http, Socks4, Socks5, Unusable };

struct ParsedProxy {
    ProxyKind kind = ProxyKind::Unusable;
    std::string hostAndPort; // "host:port", when usable
    std::string shownUrl;    // the URL without user name and password, for the log
    ProxyCredentials credentials;
};

ProxyKind kindOfScheme(const std::string& scheme) {
    if (scheme.empty() || scheme == "http") {
        return ProxyKind::Http;
    }
    if (scheme == "socks4" || scheme == "socks4a" || scheme == "socks") {
        return ProxyKind::Socks4;
    }
    // The proxy resolves the target's name either way: names always go to a SOCKS 5 proxy.
    if (scheme == "socks5" || scheme == "socks5h") {
        return ProxyKind::Socks5;
    }
    // https needs a TLS session with the proxy.
    return ProxyKind::Unusable;
}

constexpr std::size_t kMaxHostNameLength = 253; // as DNS limits a name
constexpr std::size_t kMaxLabelLength = 63;     // as DNS limits one label
constexpr std::size_t kIpv4Parts = 4;
constexpr std::size_t kMaxIpv4PartDigits = 3;
constexpr unsigned kMaxIpv4Part = 255;

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// A label of a host name: letters, digits, hyphens inside it, and the underscores that names in
// containers and Windows networks carry.
bool isLabel(const std::string& label) {
    if (label.empty() || label.size() > kMaxLabelLength || label.front() == '-' ||
        label.back() == '-') {
        return false;
    }
    for (const char c : label) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !isAsciiDigit(c) && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

// One decimal part of a dotted IPv4 address, without the leading zeros that some resolvers read
// as octal.
bool isIpv4Part(const std::string& part) {
    if (part.empty() || part.size() > kMaxIpv4PartDigits || (part.size() > 1 && part[0] == '0')) {
        return false;
    }
    unsigned value = 0;
    for (const char c : part) {
        if (!isAsciiDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= kMaxIpv4Part;
}

// A host name of dot-separated labels, or a dotted IPv4 address: a name whose last label is a
// number is taken for an address. Anything else (a ';', '=' or blank would even split the server
// text) is no host to try.
bool isHostName(const std::string& host) {
    if (host.empty() || host.size() > kMaxHostNameLength) {
        return false;
    }
    std::vector<std::string> labels;
    std::string::size_type start = 0;
    for (std::string::size_type dot; (dot = host.find('.', start)) != std::string::npos;
         start = dot + 1) {
        labels.push_back(host.substr(start, dot - start));
    }
    labels.push_back(host.substr(start));
    const std::string& last = labels.back();
    if (!last.empty() && std::all_of(last.begin(), last.end(), isAsciiDigit)) {
        return labels.size() == kIpv4Parts && std::all_of(labels.begin(), labels.end(), isIpv4Part);
    }
    return std::all_of(labels.begin(), labels.end(), isLabel);
}

// "user:password", the password being everything after the first colon.
ProxyCredentials credentialsOf(const std::string& userInfo) {
    const auto colon = userInfo.find(':');
    return {percentDecoded(userInfo.substr(0, colon)),
            colon == std::string::npos ? std::string()
                                       : percentDecoded(userInfo.substr(colon + 1))};
}

// An IPv6 address in the brackets that URLs put around it, kept with them in the server text as
// its lists write it. Only its characters are checked here (none of them can split the text);
// the reader of the server text reads the address itself.
bool isBracketedAddress(const std::string& host) {
    return host.size() > 2 && host.front() == '[' && host.back() == ']' &&
           host.find(':') != std::string::npos &&
           host.find_first_not_of("0123456789abcdefABCDEF:.", 1) == host.size() - 1;
}

ParsedProxy parseProxyUrl(const std::string& url) {
    ParsedProxy parsed;
    std::string scheme;
    std::string rest = url;
    if (const auto separator = url.find("://"); separator != std::string::npos) {
        scheme = asciiLower(url.substr(0, separator));
        rest = url.substr(separator + 3);
    }
    // The user information goes before any other cut: its password may hold '/', '?' or '#',
    // which would otherwise end the authority early and leave the password in the log.
    if (const auto at = rest.rfind('@'); at != std::string::npos) {
        parsed.credentials = credentialsOf(rest.substr(0, at));
        rest = rest.substr(at + 1);
    }
    const std::string authority = rest.substr(0, rest.find_first_of("/?#"));
    parsed.shownUrl = scheme.empty() ? authority : scheme + "://" + authority;
    std::string host = authority;
    std::uint16_t port = kDefaultProxyPort;
    const auto colon = authority.rfind(':');
    const auto bracket = authority.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        if (!parsePort(authority.substr(colon + 1), port)) {
            return parsed;
        }
    }
    if (!isHostName(host) && !isBracketedAddress(host)) {
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
    std::string socks5;
    ProxyCredentials socks5Credentials;
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
    case ProxyKind::Socks5:
        if (entries.socks5.empty()) {
            entries.socks5 = parsed.hostAndPort;
            entries.socks5Credentials = parsed.credentials;
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
    result.socks5Credentials = entries.socks5Credentials;
    std::string server;
    for (const auto& [scheme, entry] :
         {std::pair<const char*, const std::string&>{"http", entries.http},
          {"https", entries.https},
          {"socks", entries.socks},
          {"socks5", entries.socks5}}) {
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

class EnvironmentSession : public ProxySettingsSession {
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

class EnvironmentSource : public ProxySettingsSource {
public:
    ProxySettingsOpen open(std::unique_ptr<ProxySettingsSession>& session) override {
        session = std::make_unique<EnvironmentSession>();
        return ProxySettingsOpen::Ready;
    }
};

} // namespace

ProxySettingsSource& systemProxySettings() {
    static EnvironmentSource source;
    return source;
}

} // namespace platform
