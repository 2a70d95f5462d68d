#include "proxy/ProxySettingsDetection.h"

#include "log/lprintf.h"
#include "platform/ProxySettings.h"
#include "proxy/StoredRecords.h"

#include <memory>

namespace {

// Longest scheme name that is looked for; longer ones are cut.
constexpr std::string::size_type kMaxSchemeLength = 9;

struct SchemeRow {
    const char* scheme; // null: a text that names no scheme
    ProxyMethodCode method;
};

// Tried in this order on every proxy text.
constexpr SchemeRow kSchemeTable[] = {
    {nullptr, MethodHttpConnect},
    {"https", MethodHttpConnect},
    {"http", MethodHttpConnect},
    {"socks", MethodSocks},
};

// Settings before version 5 have one global proxy; from 5 on, one per connection.
constexpr char kGlobalVersion = '4';
constexpr char kFirstPerConnectionVersion = '5';
constexpr char kLastPerConnectionVersion = '9';

void logUnusable(const platform::ProxyQueryResult& result) {
    for (const platform::UnusableProxy& proxy : result.unusable) {
        lprintf("PROXY: Not usable: %s=%s\n", proxy.variable.c_str(), proxy.url.c_str());
    }
}

bool readGlobal(platform::AProxySettingsSession& session, std::vector<std::string>& proxyTexts) {
    const platform::ProxyQueryResult result = session.queryGlobal();
    if (result.error != 0) {
        lprintf("PROXY: InternetQueryOption failed %d\n", static_cast<int>(result.error));
        return false;
    }
    if ((result.flags & platform::kAccessTypeProxy) == platform::kAccessTypeProxy) {
        lprintf("PROXY: Uses a Proxy Server...\n");
        if (result.server) {
            proxyTexts.push_back(*result.server);
            lprintf("PROXY: Proxy Server: %s\n", result.server->c_str());
        }
        if (result.bypass) {
            lprintf("PROXY: Bypass list: %s\n", result.bypass->c_str());
        }
    } else {
        lprintf("PROXY: Uses no Proxy (Direct connection)...\n");
    }
    logUnusable(result);
    return true;
}

// Every connection is queried and logged even after one has failed.
bool readConnections(platform::AProxySettingsSession& session,
                     std::vector<std::string>& proxyTexts) {
    std::vector<std::string> connections{std::string()};
    for (std::string& name : session.dialUpConnections()) {
        connections.push_back(std::move(name));
    }
    bool ok = true;
    for (const std::string& name : connections) {
        // The pieces below continue this line; the log writes its prefix only at a line start.
        lprintf("PROXY: Connection '%s' ", name.empty() ? "LAN" : name.c_str());
        const platform::ProxyQueryResult result = session.queryConnection(name);
        if (result.error != 0) {
            lprintf("InternetQueryOption failed %d\n", static_cast<int>(result.error));
            ok = false;
            continue;
        }
        if (result.flags & platform::kProxyTypeAutoProxyUrl) {
            lprintf("Needs to Download config script...");
        }
        if (result.flags & platform::kProxyTypeAutoDetect) {
            lprintf("Needs to Auto Detect Proxy Settings...");
        }
        if (result.flags & platform::kProxyTypeProxy) {
            if (result.server) {
                proxyTexts.push_back(*result.server);
                lprintf(" Proxy Server: '%s'", result.server->c_str());
            }
            if (result.bypass) {
                lprintf(" Bypass list: '%s'", result.bypass->c_str());
            }
        }
        lprintf("\n");
        logUnusable(result);
    }
    return ok;
}

void appendCandidates(CTCPProxyConnector* connector, const std::vector<std::string>& proxyTexts,
                      const TargetList& targets, std::vector<ProxyCandidate>& candidates) {
    ProxyCandidate candidate(connector);
    for (const std::string& text : proxyTexts) {
        for (const SchemeRow& row : kSchemeTable) {
            std::string host;
            std::uint16_t port = 0;
            if (!parseProxyEntry(text, row.scheme, host, port)) {
                continue;
            }
            lprintf("PROXY: Try 'everything' %s:%d\n", host.c_str(), port);
            candidate.method = row.method;
            candidate.writeOrder = records::kDetectedWriteOrder;
            candidate.proxyHost = host;
            candidate.proxyPort = port;
            for (const TargetAddress& target : targets) {
                candidate.targetHost = target.host;
                candidate.targetPort = target.port;
                candidates.push_back(candidate);
            }
        }
    }
}

} // namespace

bool detectProxySettings(CTCPProxyConnector* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets) {
    return detectProxySettings(connector, candidates, std::move(targets),
                               platform::systemProxySettings());
}

bool detectProxySettings(CTCPProxyConnector* connector, std::vector<ProxyCandidate>& candidates,
                         TargetList targets, platform::AProxySettingsSource& source) {
    std::unique_ptr<platform::AProxySettingsSession> session;
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
    // "%.1s" rather than "%c": an empty version has no first character, and a NUL byte would
    // end up in the log file.
    lprintf("PROXY: IE %.1s Detected\n", version.c_str());

    std::vector<std::string> proxyTexts;
    bool ok;
    const char major = version.empty() ? '\0' : version[0];
    if (major == kGlobalVersion) {
        ok = readGlobal(*session, proxyTexts);
    } else if (major >= kFirstPerConnectionVersion && major <= kLastPerConnectionVersion) {
        ok = readConnections(*session, proxyTexts);
    } else {
        lprintf("PROXY: Unknown IE Version %s\n", version.c_str());
        ok = false;
    }

    if (ok) {
        appendCandidates(connector, proxyTexts, targets, candidates);
    }
    return ok;
}

bool parseProxyEntry(const std::string& proxyText, const char* scheme, std::string& host,
                     std::uint16_t& port) {
    std::string::size_type start = 0;
    if (scheme != nullptr) {
        const std::string name = std::string(scheme).substr(0, kMaxSchemeLength);
        std::string key = name + "=";
        start = proxyText.find(key);
        if (start == std::string::npos) {
            key = name + "://";
            start = proxyText.find(key);
        }
        if (start == std::string::npos) {
            return false;
        }
        start += key.size();
    } else if (proxyText.find('=') != std::string::npos ||
               proxyText.find("://") != std::string::npos) {
        return false;
    }
    // Held as a string, the entry is never cut: a long text cannot overrun anything, and a
    // port past any fixed length is still read whole.
    const std::string entry = proxyText.substr(start, proxyText.find(' ', start) - start);
    const std::string::size_type colon = entry.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    host = entry.substr(0, colon);
    // Read as atoi reads it, so "443;https=..." gives 443; only the low 16 bits are a port.
    port = static_cast<std::uint16_t>(records::readInteger(entry.substr(colon + 1)));
    return true;
}
