// What a proxy's 407 answer to CONNECT says, and the request that answers it.
//
//   407 answer:  HTTP/1.1 407 Proxy Authentication Required CR LF
//                Proxy-Authenticate: Negotiate CR LF               (one field per challenge, or
//                Proxy-Authenticate: NTLM, Basic realm="a, b" CR LF  a comma-separated list)
//                Content-Length: 3120 CR LF                        (or chunked, or neither)
//                Proxy-Connection: keep-alive CR LF
//                CR LF
//                <body>
//   challenge:   <scheme> [ SP <token68> | SP <name>=<token or "quoted string">, ... ]
//   our request: CONNECT <host>:<port> HTTP/1.0 CR LF
//                Proxy-Authorization: <scheme> <base 64 token> CR LF
//                Proxy-Connection: keep-alive CR LF
//                CR LF
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace proxyauth {

constexpr int kAuthenticationRequiredStatus = 407;
// The first answer is read as every CONNECT answer is; later ones carry tokens in their header
// and are allowed this much.
constexpr std::size_t kHandshakeBufferSize = 16384;
// A 407 body longer than this is not read off: the connection is given up instead.
constexpr std::size_t kMaxBodyBytes = 1u << 20;
constexpr const char* kRequestFormat = "CONNECT %s:%d HTTP/1.0\r\n"
                                       "Proxy-Authorization: %s %s\r\n"
                                       "Proxy-Connection: keep-alive\r\n\r\n";

enum class Scheme { Negotiate, Ntlm, Basic, Digest, Other };

// The scheme's name as the header fields write it ("Negotiate", "NTLM", ...; "other").
const char* schemeName(Scheme scheme);

struct Challenge {
    Scheme scheme = Scheme::Other;
    std::string token; // the token68 that follows the scheme, decoded; empty when none
    bool operator==(const Challenge& other) const {
        return scheme == other.scheme && token == other.token;
    }
};

// Every challenge of every Proxy-Authenticate field of `header` (the answer up to its empty
// line), in order. A token that is not base 64 is dropped, leaving the challenge bare.
std::vector<Challenge> parseChallenges(const std::string& header);

// How the answer's body is delimited, and whether the connection may carry the next request.
struct Framing {
    enum class Body { Length, Chunked, UntilClose };
    Body body = Body::UntilClose;
    std::size_t length = 0; // for Body::Length
    bool keepAlive = false; // Connection or Proxy-Connection, else what the version implies

    // The connection can carry the next request once the body has been read off.
    bool reusable() const { return keepAlive && body != Body::UntilClose; }
};

Framing parseFraming(const std::string& header);

// Formats the authenticating request into `request` (an IPv6 host in brackets); false when the
// host breaks the line.
bool buildRequest(const std::string& targetHost, std::uint16_t targetPort, Scheme scheme,
                  const std::string& token, std::string& request);

} // namespace proxyauth
