// What a configuration script (or the system's resolver) is asked and what its answer means:
// the target as a URL, and the answer's proxy list as proxies this program can try.
#pragma once

#include "proxy/methods/ProxyTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// The URL a script is asked about: "https://HOST/" for port 443, "http://HOST:PORT/" otherwise.
std::string scriptUrlFor(const TargetAddress& target);

struct ScriptProxy {
    ProxyMethodCode method = MethodHttpConnect;
    std::string host;
    std::uint16_t port = 0;

    bool operator==(const ScriptProxy& other) const {
        return method == other.method && host == other.host && port == other.port;
    }
};

struct ScriptAnswerEntries {
    std::vector<ScriptProxy> proxies;  // in the answer's order
    std::vector<std::string> unusable; // entries no method here can speak, as written
};

// Reads a proxy list in any of the forms the systems give: a script's own words ("PROXY h:p;
// SOCKS h:p; DIRECT"), WinHTTP's ("h:p;h:p", "socks=h:p") and libproxy's URLs
// ("http://h:p socks4://h:p direct://"). PROXY, HTTP, a bare "h:p", http:// and a list's http= and
// https= are tried with CONNECT; SOCKS, SOCKS4 and socks4a:// with SOCKS 4; SOCKS5, socks5:// and
// socks5h:// with SOCKS 5; DIRECT adds nothing.
// The list's user information is removed before it is read.
ScriptAnswerEntries parseScriptAnswer(const std::string& answer);
