#include "proxy/wire/ProxyAuthWire.h"

#include "log/LogText.h"
#include "net/IpLiteral.h"
#include "proxy/wire/Base64.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace proxyauth {

namespace {

constexpr const char* kChallengeField = "proxy-authenticate";
constexpr const char* kLengthField = "content-length";
constexpr const char* kTransferField = "transfer-encoding";
constexpr const char* kConnectionFields[] = {"connection", "proxy-connection"};
constexpr const char* kHttp11 = "HTTP/1.1";
constexpr std::size_t kRequestBufferSize = 16384;

struct NamedScheme {
    const char* name;
    Scheme scheme;
};
constexpr NamedScheme kSchemes[] = {{"Negotiate", Scheme::Negotiate},
                                    {"NTLM", Scheme::Ntlm},
                                    {"Basic", Scheme::Basic},
                                    {"Digest", Scheme::Digest}};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// RFC 9110 tchar.
bool isTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool isToken68Char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("-._~+/", c) != nullptr);
}

Scheme schemeOf(const std::string& name) {
    for (const NamedScheme& known : kSchemes) {
        if (sameLetters(name, known.name)) {
            return known.scheme;
        }
    }
    return Scheme::Other;
}

struct Field {
    std::string name;
    std::string value;
};

// The header's fields after its status line; a line that begins with a blank continues the
// field before it (the obsolete line folding).
std::vector<Field> fieldsOf(const std::string& header) {
    std::vector<Field> fields;
    std::size_t start = header.find('\n');
    while (start != std::string::npos && start + 1 < header.size()) {
        ++start;
        std::size_t end = header.find('\n', start);
        std::string line = header.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && isBlank(line[0]) && !fields.empty()) {
            fields.back().value += " " + line;
        } else if (const std::size_t colon = line.find(':'); colon != std::string::npos) {
            fields.push_back({line.substr(0, colon), line.substr(colon + 1)});
        }
        start = end;
    }
    return fields;
}

// Walks one field value of challenges: a scheme starts a challenge, a name followed by '='
// is a parameter of the challenge before it, a token68 right after a scheme is its token.
class ChallengeList {
public:
    explicit ChallengeList(const std::string& value) : text(value) {}

    void readInto(std::vector<Challenge>& challenges) {
        while (skipSeparators(), at < text.size()) {
            const std::string name = readWhile(isTokenChar);
            if (name.empty()) {
                ++at; // a character that may start nothing: passed over
                continue;
            }
            skipBlanks();
            if (at < text.size() && text[at] == '=') {
                skipParameterValue();
                continue;
            }
            Challenge challenge;
            challenge.scheme = schemeOf(name);
            const std::size_t tokenStart = at;
            const std::string token = readToken68();
            if (!token.empty()) {
                if (!base64::decode(token, challenge.token)) {
                    challenge.token.clear();
                }
            } else {
                at = tokenStart;
            }
            challenges.push_back(challenge);
        }
    }

private:
    template <typename Predicate>
    std::string readWhile(Predicate accepts) {
        const std::size_t start = at;
        while (at < text.size() && accepts(text[at])) {
            ++at;
        }
        return text.substr(start, at - start);
    }

    void skipBlanks() { readWhile(isBlank); }

    void skipSeparators() {
        readWhile([](char c) { return isBlank(c) || c == ','; });
    }

    // A token68 counts only when the value's element ends with it.
    std::string readToken68() {
        std::string token = readWhile(isToken68Char);
        token += readWhile([](char c) { return c == '='; });
        skipBlanks();
        if (token.empty() || (at < text.size() && text[at] != ',')) {
            return std::string();
        }
        return token;
    }

    void skipParameterValue() {
        ++at;
        skipBlanks();
        if (at < text.size() && text[at] == '"') {
            // A quoted string may run to the value's end unclosed, or end in a lone backslash.
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && at + 1 < text.size()) {
                    ++at;
                }
            }
            at = std::min(at + 1, text.size());
        } else {
            readWhile(isTokenChar);
        }
    }

    const std::string& text;
    std::size_t at = 0;
};

// The comma-separated tokens of a field value, lower case, blanks trimmed.
std::vector<std::string> tokensOf(const std::string& value) {
    std::vector<std::string> tokens;
    std::string current;
    for (const char c : value + ",") {
        if (c == ',') {
            if (!current.empty()) {
                tokens.push_back(current);
            }
            current.clear();
        } else if (!isBlank(c)) {
            current += lower(c);
        }
    }
    return tokens;
}

bool isConnectionField(const std::string& name) {
    for (const char* field : kConnectionFields) {
        if (sameLetters(name, field)) {
            return true;
        }
    }
    return false;
}

// A decimal length, or false for anything else (signs, blanks inside, overflow).
bool parseLength(const std::string& value, std::size_t& length) {
    std::string digits;
    for (const char c : value) {
        if (!isBlank(c)) {
            digits += c;
        }
    }
    if (digits.empty() || digits.size() > 9) {
        return false;
    }
    length = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    return true;
}

} // namespace

const char* schemeName(Scheme scheme) {
    for (const NamedScheme& known : kSchemes) {
        if (known.scheme == scheme) {
            return known.name;
        }
    }
    return "other";
}

std::vector<Challenge> parseChallenges(const std::string& header) {
    std::vector<Challenge> challenges;
    for (const Field& field : fieldsOf(header)) {
        if (sameLetters(field.name, kChallengeField)) {
            ChallengeList(field.value).readInto(challenges);
        }
    }
    return challenges;
}

Framing parseFraming(const std::string& header) {
    Framing framing;
    framing.keepAlive = header.compare(0, std::strlen(kHttp11), kHttp11) == 0;
    bool lengthSeen = false;
    bool lengthValid = true;
    bool chunked = false;
    for (const Field& field : fieldsOf(header)) {
        if (sameLetters(field.name, kLengthField)) {
            std::size_t length = 0;
            // Two lengths that differ leave the body's end unknown.
            lengthValid = lengthValid && parseLength(field.value, length) &&
                          (!lengthSeen || length == framing.length);
            lengthSeen = true;
            framing.length = length;
        } else if (sameLetters(field.name, kTransferField)) {
            const std::vector<std::string> codings = tokensOf(field.value);
            chunked = !codings.empty() && codings.back() == "chunked";
        } else if (isConnectionField(field.name)) {
            for (const std::string& token : tokensOf(field.value)) {
                if (token == "close") {
                    framing.keepAlive = false;
                    break;
                }
                if (token == "keep-alive") {
                    framing.keepAlive = true;
                }
            }
        }
    }
    if (chunked) {
        framing.body = Framing::Body::Chunked;
        framing.length = 0;
    } else if (lengthSeen && lengthValid) {
        framing.body = Framing::Body::Length;
    } else {
        framing.length = 0;
    }
    return framing;
}

bool buildRequest(const std::string& targetHost, std::uint16_t targetPort, Scheme scheme,
                  const std::string& token, std::string& request) {
    if (breaksTheLine(targetHost)) {
        return false;
    }
    const std::string encoded = base64::encode(token);
    const std::string host = net::bracketed(targetHost);
    std::vector<char> buffer(kRequestBufferSize + host.size() + encoded.size());
    const int length = std::snprintf(buffer.data(), buffer.size(), kRequestFormat, host.c_str(),
                                     targetPort, schemeName(scheme), encoded.c_str());
    if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return false;
    }
    request.assign(buffer.data(), static_cast<std::size_t>(length));
    return true;
}

} // namespace proxyauth
