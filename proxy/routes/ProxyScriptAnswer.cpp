#include "proxy/routes/ProxyScriptAnswer.h"

#include "log/LogText.h"
#include "platform/AsciiCase.h"
#include "platform/PortNumber.h"

namespace {

constexpr std::uint16_t kHttpsPort = 443;
constexpr const char* kEntrySeparators = ";";
constexpr const char* kBlanks = " \t\r\n";
constexpr const char* kHttpsScheme = "https";

enum class Kind { Http, Socks, Socks5, Direct, Unusable };

struct KindRow {
    const char* name; // a script's keyword, or a scheme as "name://" or "name="
    Kind kind;
};

// Compared without letter case. HTTPS proxies need a TLS session this program lacks.
constexpr KindRow kKinds[] = {
    {"proxy", Kind::Http},     {"http", Kind::Http},     {"socks", Kind::Socks},
    {"socks4", Kind::Socks},   {"socks4a", Kind::Socks}, {"direct", Kind::Direct},
    {"https", Kind::Unusable}, {"socks5", Kind::Socks5}, {"socks5h", Kind::Socks5},
};

Kind kindOf(const std::string& name) {
    for (const KindRow& row : kKinds) {
        if (platform::asciiLower(name) == row.name) {
            return row.kind;
        }
    }
    return Kind::Unusable;
}

// In a "scheme=host:port" list, as WinINet and WinHTTP give it, the scheme names the requests
// the proxy serves, not how it is spoken to: the proxy for https is an HTTP proxy asked with
// CONNECT, as the static settings read it too.
Kind listKindOf(const std::string& scheme) {
    return platform::asciiLower(scheme) == kHttpsScheme ? Kind::Http : kindOf(scheme);
}

std::vector<std::string> words(const std::string& text, const char* separators) {
    std::vector<std::string> found;
    std::string::size_type start = text.find_first_not_of(separators);
    while (start != std::string::npos) {
        const std::string::size_type end = text.find_first_of(separators, start);
        found.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(separators, end);
    }
    return found;
}

// "host:port" with an optional trailing '/'; the port in full, 1 to 65535.
bool readHostAndPort(std::string text, ScriptProxy& proxy) {
    if (!text.empty() && text.back() == '/') {
        text.pop_back();
    }
    const std::string::size_type colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    if (!platform::parsePort(text.substr(colon + 1), proxy.port)) {
        return false;
    }
    proxy.host = text.substr(0, colon);
    return proxy.host.find_first_of(":/[]") == std::string::npos;
}

// One entry: a keyword and its "host:port", or a single word that names its kind by a scheme.
void readEntry(const std::vector<std::string>& entry, const std::string& written,
               ScriptAnswerEntries& entries) {
    Kind kind = Kind::Http;
    std::string address = entry[0];
    if (entry.size() == 2) {
        kind = kindOf(entry[0]);
        address = entry[1];
    } else if (const auto scheme = address.find("://"); scheme != std::string::npos) {
        kind = kindOf(address.substr(0, scheme));
        address = address.substr(scheme + 3);
    } else if (const auto named = address.find('='); named != std::string::npos) {
        kind = listKindOf(address.substr(0, named));
        address = address.substr(named + 1);
    } else if (entry.size() == 1 && kindOf(address) == Kind::Direct) {
        kind = Kind::Direct;
    }
    if (kind == Kind::Direct) {
        return;
    }
    ScriptProxy proxy;
    proxy.method = kind == Kind::Socks    ? MethodSocks
                   : kind == Kind::Socks5 ? MethodSocks5
                                          : MethodHttpConnect;
    if (entry.size() > 2 || kind == Kind::Unusable || !readHostAndPort(address, proxy)) {
        entries.unusable.push_back(written);
        return;
    }
    entries.proxies.push_back(proxy);
}

} // namespace

std::string scriptUrlFor(const TargetAddress& target) {
    if (target.port == kHttpsPort) {
        return "https://" + target.host + "/";
    }
    return "http://" + target.host + ":" + std::to_string(target.port) + "/";
}

ScriptAnswerEntries parseScriptAnswer(const std::string& answer) {
    ScriptAnswerEntries entries;
    for (const std::string& piece : words(withoutUserInfo(answer), kEntrySeparators)) {
        const std::vector<std::string> pieceWords = words(piece, kBlanks);
        if (pieceWords.empty()) {
            continue;
        }
        // A keyword takes the next word; otherwise each word is an entry of its own, as in
        // WinHTTP's blank-separated lists and libproxy's URLs.
        const bool keyworded =
            pieceWords.size() >= 2 && pieceWords[0].find_first_of(":=/") == std::string::npos;
        if (keyworded) {
            readEntry(pieceWords, piece.substr(piece.find_first_not_of(kBlanks)), entries);
            continue;
        }
        for (const std::string& word : pieceWords) {
            readEntry({word}, word, entries);
        }
    }
    return entries;
}
