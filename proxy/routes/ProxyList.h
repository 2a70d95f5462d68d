// The one reader of proxy lists, in every form the systems give them: WinINet's and WinHTTP's
// "http=h:p;https=h:p;socks=h:p" or plain "h:p", a script's own words ("PROXY h:p; SOCKS h:p;
// DIRECT"), blank-separated lists ("h:p h:p") and libproxy's URLs ("http://h:p socks4://h:p
// direct://"). Hosts may be IPv6 addresses in brackets ("http=[fd00::1]:3128").
#pragma once

#include "net/HostText.h"
#include "proxy/methods/ProxyTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace routes {

enum class EntryForm {
    Address, // "h:p", no scheme
    Keyword, // a script's "PROXY h:p"
    Named,   // a list's "scheme=h:p"
    Url,     // "scheme://h:p"
};

struct ListEntry {
    EntryForm form = EntryForm::Address;
    std::string scheme;  // the keyword or scheme in lower case; empty for EntryForm::Address
    std::string written; // the entry as written, without its user information
    // How the proxy is spoken to: MethodDirect for DIRECT, none for a kind of proxy that no
    // method here speaks (HTTPS, SOCKS 5) or a scheme nobody knows.
    std::optional<ProxyMethodCode> method;
    net::HostPortRead read = net::HostPortRead::NoPort; // a keyword with extra words: NoPort
    net::HostAndPort at;                                // as `read` says
};

// Every entry in the list's order. The list is cut at ';' and blanks first, and each entry then
// loses its user information ("user:pass@"), so that one entry's cannot take another with it.
std::vector<ListEntry> readProxyList(const std::string& list);

// The list as a log line may show it: each entry without its user information, the rest as it
// was.
std::string listWithoutUserInfo(const std::string& list);

// The first entry that a list names by `scheme` ("http" for "http=h:p" or "http://h:p"), or with
// an empty scheme the first address without one; a script's keywords are no list's schemes.
const ListEntry* firstEntry(const std::vector<ListEntry>& entries, const std::string& scheme);

} // namespace routes
