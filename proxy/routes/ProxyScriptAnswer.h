// What a configuration script (or the system's resolver) is asked and what its answer means:
// the target as a URL, and the answer's proxy list as proxies this program can try.
#pragma once

#include "proxy/methods/ProxyTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// The URL a script is asked about: "https://HOST/" for port 443, "http://HOST:PORT/" otherwise;
// an IPv6 host in brackets.
std::string scriptUrlFor(const TargetAddress& target);

struct ScriptProxy {
    ProxyMethodCode method = MethodHttpConnect;
    std::string host; // an IPv6 address without brackets
    std::uint16_t port = 0;

    bool operator==(const ScriptProxy& other) const {
        return method == other.method && host == other.host && port == other.port;
    }
};

struct ScriptAnswerEntries {
    std::vector<ScriptProxy> proxies;  // in the answer's order
    std::vector<std::string> unusable; // entries no method here can speak, as written
};

// Reads a script's answer with the one list reader (proxy/routes/ProxyList.h), whose table of
// kinds says how each entry is spoken to; DIRECT adds nothing. Every other entry that is not a
// usable "host:port" is unusable.
ScriptAnswerEntries parseScriptAnswer(const std::string& answer);
