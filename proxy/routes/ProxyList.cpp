#include "proxy/routes/ProxyList.h"

#include "log/LogText.h"
#include "platform/AsciiCase.h"

#include <algorithm>

namespace routes {

namespace {

constexpr char kEntrySeparator = ';';
constexpr const char* kBlanks = " \t\r\n";
constexpr const char* kUrlMark = "://";
constexpr char kNamedMark = '=';
constexpr const char* kListHttpsScheme = "https";

struct KindRow {
    const char* name; // a keyword or scheme; "" for an address without one
    std::optional<ProxyMethodCode> method;
};

// The one table of proxy kinds, compared without letter case. HTTPS proxies need a TLS session
// with the proxy, which no method here speaks.
constexpr KindRow kKinds[] = {
    {"", MethodHttpConnect},   {"proxy", MethodHttpConnect}, {"http", MethodHttpConnect},
    {"socks", MethodSocks},    {"socks4", MethodSocks},      {"socks4a", MethodSocks},
    {"direct", MethodDirect},  {"https", std::nullopt},      {"socks5", MethodSocks5},
    {"socks5h", MethodSocks5},
};

std::optional<ProxyMethodCode> methodOf(const std::string& scheme) {
    for (const KindRow& row : kKinds) {
        if (scheme == row.name) {
            return row.method;
        }
    }
    return std::nullopt;
}

// In a "scheme=host:port" list, as WinINet and WinHTTP give it, the scheme names the requests
// the proxy serves, not how it is spoken to: the proxy for https is an HTTP proxy asked with
// CONNECT.
std::optional<ProxyMethodCode> listMethodOf(const std::string& scheme) {
    return scheme == kListHttpsScheme ? std::optional<ProxyMethodCode>(MethodHttpConnect)
                                      : methodOf(scheme);
}

enum class Role { Entry, Keyword, Address, Extra };

struct Word {
    std::string::size_type start;
    std::string::size_type length;
    Role role;
};

std::vector<Word> spans(const std::string& text, std::string::size_type from,
                        std::string::size_type to, const char* separators) {
    std::vector<Word> found;
    std::string::size_type start = text.find_first_not_of(separators, from);
    while (start < to) {
        const std::string::size_type end = std::min(text.find_first_of(separators, start), to);
        found.push_back({start, end - start, Role::Entry});
        start = end == to ? to : text.find_first_not_of(separators, end);
    }
    return found;
}

// The words of the list with their roles. A ';' ends an entry. Within one, a first word that is
// no address (it has no ':', '=' or '/') is a keyword that takes the next word; otherwise each
// word is an entry of its own, as in WinHTTP's blank-separated lists and libproxy's URLs.
std::vector<Word> wordsOf(const std::string& list) {
    std::vector<Word> words;
    const std::string separators(1, kEntrySeparator);
    for (const Word& piece : spans(list, 0, list.size(), separators.c_str())) {
        std::vector<Word> pieceWords =
            spans(list, piece.start, piece.start + piece.length, kBlanks);
        const bool keyworded =
            pieceWords.size() >= 2 &&
            list.substr(pieceWords[0].start, pieceWords[0].length).find_first_of(":=/") ==
                std::string::npos;
        for (std::size_t i = 0; keyworded && i < pieceWords.size(); ++i) {
            pieceWords[i].role = i == 0 ? Role::Keyword : i == 1 ? Role::Address : Role::Extra;
        }
        words.insert(words.end(), pieceWords.begin(), pieceWords.end());
    }
    return words;
}

// A keyword's address has no scheme to keep: all up to its last '@' is user information.
std::string afterUserInfo(const std::string& address) {
    const std::string::size_type at = address.rfind('@');
    return at == std::string::npos ? address : address.substr(at + 1);
}

std::string shownWord(const std::string& word, Role role) {
    return role == Role::Address ? afterUserInfo(word) : withoutUserInfo(word);
}

ListEntry addressEntry(ListEntry entry, const std::string& address) {
    entry.read = net::readHostAndPort(address, entry.at);
    return entry;
}

// One word that is an entry of its own; its scheme, if any, says its kind.
ListEntry wordEntry(const std::string& word) {
    ListEntry entry;
    entry.written = withoutUserInfo(word);
    const std::string& text = entry.written;
    if (const auto mark = text.find(kUrlMark); mark != std::string::npos) {
        entry.form = EntryForm::Url;
        entry.scheme = platform::asciiLower(text.substr(0, mark));
        entry.method = methodOf(entry.scheme);
        return addressEntry(entry, text.substr(mark + std::char_traits<char>::length(kUrlMark)));
    }
    if (const auto mark = text.find(kNamedMark); mark != std::string::npos) {
        entry.form = EntryForm::Named;
        entry.scheme = platform::asciiLower(text.substr(0, mark));
        entry.method = listMethodOf(entry.scheme);
        return addressEntry(entry, text.substr(mark + 1));
    }
    // A lone DIRECT is the keyword without an address.
    const std::optional<ProxyMethodCode> alone = methodOf(platform::asciiLower(text));
    entry.method = alone == MethodDirect ? alone : methodOf("");
    return addressEntry(entry, text);
}

ListEntry keywordEntry(const std::string& keyword, const std::string& address,
                       const std::vector<std::string>& extras) {
    ListEntry entry;
    entry.form = EntryForm::Keyword;
    entry.scheme = platform::asciiLower(keyword);
    entry.method = methodOf(entry.scheme);
    entry.written = withoutUserInfo(keyword) + " " + afterUserInfo(address);
    for (const std::string& extra : extras) {
        entry.written += " " + withoutUserInfo(extra);
    }
    if (!extras.empty()) {
        return entry;
    }
    return addressEntry(entry, afterUserInfo(address));
}

} // namespace

std::vector<ListEntry> readProxyList(const std::string& list) {
    std::vector<ListEntry> entries;
    const std::vector<Word> words = wordsOf(list);
    const auto textOf = [&list](const Word& word) { return list.substr(word.start, word.length); };
    std::size_t i = 0;
    while (i < words.size()) {
        if (words[i].role == Role::Entry) {
            entries.push_back(wordEntry(textOf(words[i++])));
            continue;
        }
        // A keyword is always followed by its address.
        const std::string keyword = textOf(words[i++]);
        const std::string address = textOf(words[i++]);
        std::vector<std::string> extras;
        while (i < words.size() && words[i].role == Role::Extra) {
            extras.push_back(textOf(words[i++]));
        }
        entries.push_back(keywordEntry(keyword, address, extras));
    }
    return entries;
}

std::string listWithoutUserInfo(const std::string& list) {
    std::string shown;
    std::string::size_type copied = 0;
    for (const Word& word : wordsOf(list)) {
        shown += list.substr(copied, word.start - copied);
        shown += shownWord(list.substr(word.start, word.length), word.role);
        copied = word.start + word.length;
    }
    return shown + list.substr(copied);
}

const ListEntry* firstEntry(const std::vector<ListEntry>& entries, const std::string& scheme) {
    for (const ListEntry& entry : entries) {
        const bool named = entry.form == EntryForm::Named || entry.form == EntryForm::Url;
        if (scheme.empty() ? entry.form == EntryForm::Address : named && entry.scheme == scheme) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace routes
