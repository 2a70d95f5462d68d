#include "proxy/routes/ProxySettingsDetection.h"

#include "log/LogText.h"
#include "log/lprintf.h"
#include "net/HostText.h"
#include "net/IpLiteral.h"
#include "platform/ProxySettings.h"
#include "proxy/routes/ProxyList.h"
#include "proxy/routes/ProxyScriptAnswer.h"
#include "proxy/routes/WriteOrder.h"

#include <memory>

namespace {

// Looked for in this order in every proxy text, the first entry of each; "" is an address without
// a scheme, which is also how Wine hands over an IPv6 entry ("http=[fd00::1]:3128" arrives as
// "[fd00::1]:3128").
constexpr const char* kSchemeOrder[] = {"", "https", "http", "socks", "socks5"};

// Settings before version 5 have one global proxy; from 5 on, one per connection.
constexpr char kGlobalVersion = '4';
constexpr char kFirstPerConnectionVersion = '5';
constexpr char kLastPerConnectionVersion = '9';

// What the connections' flags ask for beyond their static proxies.
struct AutomaticFlags {
    bool script = false;
    bool discovery = false;
};

std::string shown(const std::string& text) {
    return withoutUserInfo(text);
}

// One server text as read, with the credentials its SOCKS 5 entry's URL carried.
struct ProxyText {
    std::string text;
    ProxyCredentials socks5Credentials;
};

// A list of proxies as a line shows it: each entry without its user information.
std::string shownList(const std::string& text) {
    return routes::listWithoutUserInfo(text);
}

void logUnusable(const platform::ProxyQueryResult& result) {
    for (const platform::UnusableProxy& proxy : result.unusable) {
        lprintf("PROXY: Not usable: %s=%s\n", proxy.variable.c_str(), shown(proxy.url).c_str());
    }
}

bool readGlobal(platform::ProxySettingsSession& session, std::vector<ProxyText>& proxyTexts) {
    const platform::ProxyQueryResult result = session.queryGlobal();
    if (result.failed) {
        lprintf("PROXY: InternetQueryOption failed %d\n", static_cast<int>(result.error));
        return false;
    }
    if ((result.flags & platform::kAccessTypeProxy) == platform::kAccessTypeProxy) {
        lprintf("PROXY: Uses a Proxy Server...\n");
        if (result.server) {
            proxyTexts.push_back({*result.server, result.socks5Credentials});
            lprintf("PROXY: Proxy Server: %s\n", shownList(*result.server).c_str());
        }
        if (result.bypass) {
            lprintf("PROXY: Bypass list: %s\n", shown(*result.bypass).c_str());
        }
    } else {
        lprintf("PROXY: Uses no Proxy (Direct connection)...\n");
    }
    logUnusable(result);
    return true;
}

// Every connection is queried and logged even after one has failed.
bool readConnections(platform::ProxySettingsSession& session, std::vector<ProxyText>& proxyTexts,
                     AutomaticFlags& automatic) {
    std::vector<std::string> connections{std::string()};
    for (std::string& name : session.dialUpConnections()) {
        connections.push_back(std::move(name));
    }
    bool ok = true;
    for (const std::string& name : connections) {
        // The pieces below continue this line; the log writes its prefix only at a line start.
        lprintf("PROXY: Connection '%s' ", name.empty() ? "LAN" : name.c_str());
        const platform::ProxyQueryResult result = session.queryConnection(name);
        if (result.failed) {
            lprintf("InternetQueryOption failed %d\n", static_cast<int>(result.error));
            ok = false;
            continue;
        }
        if (result.flags & platform::kProxyTypeAutoProxyUrl) {
            lprintf("Needs to Download config script...");
            automatic.script = true;
        }
        if (result.flags & platform::kProxyTypeAutoDetect) {
            lprintf("Needs to Auto Detect Proxy Settings...");
            automatic.discovery = true;
        }
        if (result.flags & platform::kProxyTypeProxy) {
            if (result.server) {
                proxyTexts.push_back({*result.server, result.socks5Credentials});
                lprintf(" Proxy Server: '%s'", shownList(*result.server).c_str());
            }
            if (result.bypass) {
                lprintf(" Bypass list: '%s'", shown(*result.bypass).c_str());
            }
        }
        lprintf("\n");
        logUnusable(result);
    }
    return ok;
}

// Whether the entry can be tried; logs why not where its settings name something unusable.
bool usable(const routes::ListEntry& entry, const char* source) {
    switch (entry.read) {
    case net::HostPortRead::NoPort:
        return false;
    case net::HostPortRead::BadPort:
        lprintf("PROXY: Not usable: '%s' %s%s%s with no port from 1 to 65535\n", source,
                entry.scheme.c_str(), entry.scheme.empty() ? "" : "=",
                net::bracketed(entry.at.host).c_str());
        return false;
    case net::HostPortRead::BadHost:
        lprintf("PROXY: Not usable: '%s' %s: no host, or an IPv6 address without brackets\n",
                source, entry.written.c_str());
        return false;
    case net::HostPortRead::Ok:
        break;
    }
    if (!entry.method) {
        lprintf("PROXY: Not usable: '%s' %s: no method here speaks this kind of proxy\n", source,
                entry.written.c_str());
    }
    return entry.method.has_value();
}

// `source` names where the texts came from in the "Try" lines, `writeOrder` their records' pass.
void appendCandidates(methods::RouteTrier* connector, const std::vector<ProxyText>& proxyTexts,
                      const TargetList& targets, const char* source, std::int32_t writeOrder,
                      std::vector<ProxyCandidate>& candidates) {
    ProxyCandidate candidate(connector);
    for (const ProxyText& text : proxyTexts) {
        const std::vector<routes::ListEntry> entries = routes::readProxyList(text.text);
        for (const char* scheme : kSchemeOrder) {
            const routes::ListEntry* entry = routes::firstEntry(entries, scheme);
            if (entry == nullptr || !usable(*entry, source)) {
                continue;
            }
            lprintf("PROXY: Try '%s' %s\n", source,
                    net::hostAndPortText(entry->at.host, entry->at.port).c_str());
            candidate.method = *entry->method;
            candidate.writeOrder = routes::writeOrderOf(*entry->method, writeOrder);
            candidate.credentials =
                *entry->method == MethodSocks5 ? text.socks5Credentials : ProxyCredentials();
            candidate.proxyHost = entry->at.host;
            candidate.proxyPort = entry->at.port;
            for (const TargetAddress& target : targets) {
                candidate.targetHost = target.host;
                candidate.targetPort = target.port;
                candidates.push_back(candidate);
            }
        }
    }
}

// The proxy that services use, after the user's own.
void readMachineWide(platform::ProxySettingsSession& session, methods::RouteTrier* connector,
                     const TargetList& targets, std::vector<ProxyCandidate>& candidates) {
    const std::optional<platform::ProxyQueryResult> result = session.queryMachineWide();
    if (!result) {
        return;
    }
    if (result->failed) {
        lprintf("PROXY: WinHttpGetDefaultProxyConfiguration failed %d\n",
                static_cast<int>(result->error));
        return;
    }
    if ((result->flags & platform::kAccessTypeProxy) != platform::kAccessTypeProxy ||
        !result->server) {
        lprintf("PROXY: Machine-wide: no proxy\n");
        return;
    }
    lprintf("PROXY: Machine-wide proxy: '%s'", shownList(*result->server).c_str());
    // WinHTTP gives an empty text where no bypass list is set.
    if (result->bypass && !result->bypass->empty()) {
        lprintf(" Bypass list: '%s'", shown(*result->bypass).c_str());
    }
    lprintf("\n");
    std::vector<ProxyText> proxyTexts{{*result->server, result->socks5Credentials}};
    appendCandidates(connector, proxyTexts, targets, "machine-wide", routes::kMachineWideWriteOrder,
                     candidates);
}

// One job per target when the connections' flags or the second library ask for a script or
// discovery and a script can be run here.
void gatherScripts(platform::ProxySettingsSession& session, const AutomaticFlags& flags,
                   const TargetList& targets, std::vector<ProxyScriptJob>& scripts) {
    platform::ProxyScriptRequest request;
    request.autoDetect = flags.discovery;
    if (const auto automatic = session.automaticSettings()) {
        request.autoDetect = request.autoDetect || automatic->autoDetect;
        request.scriptUrl = automatic->scriptUrl;
    }
    if (flags.script && !request.scriptUrl) {
        lprintf("PROXY: Proxy script: its URL is not known\n");
    }
    if (!request.autoDetect && !request.scriptUrl) {
        return;
    }
    // WinHTTP tries discovery first when it is asked for both.
    const std::string what =
        (request.autoDetect ? std::string("automatic detection") : std::string()) +
        (request.autoDetect && request.scriptUrl ? ", then " : "") +
        (request.scriptUrl ? "'" + shown(*request.scriptUrl) + "'" : std::string());
    for (const TargetAddress& target : targets) {
        request.url = scriptUrlFor(target);
        platform::ProxyScriptQuery query = session.scriptQuery(request);
        lprintf("PROXY: Proxy script: %s for %s%s\n", what.c_str(), shown(request.url).c_str(),
                query ? "" : ": cannot be run here");
        if (query) {
            scripts.push_back({target, std::move(query)});
        }
    }
}

} // namespace

bool detectProxySettings(methods::RouteTrier* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets) {
    return detectProxySettings(connector, candidates, std::move(targets),
                               platform::systemProxySettings());
}

bool detectProxySettings(methods::RouteTrier* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets, platform::ProxySettingsSource& source) {
    std::vector<ProxyScriptJob> scripts;
    return detectProxySettings(connector, candidates, std::move(targets), source, scripts);
}

bool detectProxySettings(methods::RouteTrier* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets, platform::ProxySettingsSource& source,
                         std::vector<ProxyScriptJob>& scripts) {
    std::unique_ptr<platform::ProxySettingsSession> session;
    switch (source.open(session)) {
    case platform::ProxySettingsOpen::NoLibrary:
        lprintf("PROXY: WinINet FAILED\n");
        return false;
    case platform::ProxySettingsOpen::NoQueryFunction:
        lprintf("PROXY: No InternetQueryOption\n");
        return false;
    case platform::ProxySettingsOpen::Ready:
        break;
    }

    const std::string version = session->versionText();
    // The major version's first character, shown printable; an empty version or a zero byte
    // there shows nothing rather than putting a zero byte into the log file.
    lprintf("PROXY: IE %s Detected\n",
            printable(std::string(version.substr(0, 1).c_str())).c_str());

    std::vector<ProxyText> proxyTexts;
    AutomaticFlags automatic;
    bool ok;
    const char major = version.empty() ? '\0' : version[0];
    if (major == kGlobalVersion) {
        ok = readGlobal(*session, proxyTexts);
    } else if (major >= kFirstPerConnectionVersion && major <= kLastPerConnectionVersion) {
        ok = readConnections(*session, proxyTexts, automatic);
    } else {
        lprintf("PROXY: Unknown IE Version %s\n", version.c_str());
        ok = false;
    }

    if (ok) {
        appendCandidates(connector, proxyTexts, targets, "everything", routes::kDetectedWriteOrder,
                         candidates);
    }
    readMachineWide(*session, connector, targets, candidates);
    gatherScripts(*session, automatic, targets, scripts);
    return ok;
}
