#include "proxy/methods/ProxyAuthHandshake.h"

#include "net/CTCPSocket.h"
#include "platform/ProxyAuthentication.h"
#include "proxy/methods/AuthRounds.h"
#include "proxy/wire/HttpBodyReader.h"
#include "proxy/wire/ProxyAuthWire.h"

#include <memory>

namespace {

using proxyauth::Scheme;

constexpr std::size_t kBodyChunk = 4096;

const char* failureText(methods::AuthRounds::Failure failure) {
    switch (failure) {
    case methods::AuthRounds::Failure::NothingUsable:
        return "no scheme that the signed-in user's credentials can answer";
    case methods::AuthRounds::Failure::AllRejected:
        return "every scheme offered was rejected or could not be used";
    default:
        return "not finished within 4 rounds";
    }
}

// Names the schemes offered, and those that need a password the program never holds. Only the
// schemes' own names reach the log, nothing of the fields' values.
void logOffered(ProxyTunnel& tunnel, const std::vector<proxyauth::Challenge>& challenges) {
    std::string names;
    for (const proxyauth::Challenge& challenge : challenges) {
        const std::string name = proxyauth::schemeName(challenge.scheme);
        if ((" " + names + " ").find(" " + name + " ") == std::string::npos) {
            names += (names.empty() ? "" : " ") + name;
        }
    }
    tunnel.say("proxy asks for authentication: %s", names.c_str());
    for (const Scheme scheme : {Scheme::Basic, Scheme::Digest}) {
        if (names.find(proxyauth::schemeName(scheme)) != std::string::npos) {
            tunnel.say("proxy wants %s, which needs a stored password: not answered",
                       proxyauth::schemeName(scheme));
        }
    }
}

// Reads the 407's body off so that the connection can carry the next request; false when it
// cannot (no length, a malformed or overlong body, or the proxy closed).
bool readBodyOff(ProxyTunnel& tunnel, const proxyauth::Framing& framing,
                 const std::string& arrived) {
    if (!framing.reusable()) {
        return false;
    }
    proxyauth::HttpBodyReader body(framing);
    body.take(arrived.data(), arrived.size());
    char buffer[kBodyChunk];
    while (!body.done() && !body.failed()) {
        int error = 0;
        const int got = tunnel.stream().read(CTCPSocket::Blocking, buffer, sizeof buffer, &error);
        if (got < 1 || error != 0) {
            return false;
        }
        body.take(buffer, static_cast<std::size_t>(got));
    }
    return body.done();
}

struct Challenged {
    std::vector<proxyauth::Challenge> challenges;
    bool reusable = false;
};

// A 407 without a challenge has nothing to answer, so its body is not waited for.
Challenged challengeOf(ProxyTunnel& tunnel, const HttpAnswer& answer) {
    const std::string header = answer.header();
    Challenged read;
    read.challenges = proxyauth::parseChallenges(header);
    read.reusable = !read.challenges.empty() &&
                    readBodyOff(tunnel, proxyauth::parseFraming(header), answer.beyondHeader());
    return read;
}

platform::AuthPackage packageOf(Scheme scheme) {
    return scheme == Scheme::Negotiate ? platform::AuthPackage::Negotiate
                                       : platform::AuthPackage::Ntlm;
}

// The token for the step, or false with the reason logged.
bool makeToken(ProxyTunnel& tunnel, const ProxyEndpoints& endpoints,
               const methods::AuthRounds::Step& step,
               std::unique_ptr<platform::AuthContext>& context, std::string& token) {
    const char* name = proxyauth::schemeName(step.scheme);
    std::string failure;
    if (step.fresh) {
        context = platform::startAuthContext(packageOf(step.scheme), endpoints.proxyHost, failure);
        if (!context) {
            tunnel.say("%s could not be used: %s", name, failure.c_str());
            return false;
        }
        tunnel.say("authenticating with %s", name);
    }
    const platform::AuthStep made = context->step(step.challenge);
    if (!made.ok) {
        tunnel.say("%s could not be used: %s", name, made.failure.c_str());
        return false;
    }
    token = made.token;
    return true;
}

} // namespace

bool authenticate(ProxyTunnel& tunnel, const ProxyEndpoints& endpoints, const HttpAnswer& first,
                  int& error) {
    Challenged challenged = challengeOf(tunnel, first);
    if (challenged.challenges.empty()) {
        return false;
    }
    logOffered(tunnel, challenged.challenges);
    methods::AuthRounds rounds;
    methods::AuthRounds::Step step = rounds.onChallenge(challenged.challenges, challenged.reusable);
    std::unique_ptr<platform::AuthContext> context;
    for (;;) {
        if (step.rejected) {
            tunnel.say("%s rejected by the proxy", proxyauth::schemeName(step.previous));
        } else if (step.restarted) {
            tunnel.say("%s starts again on a new connection", proxyauth::schemeName(step.previous));
        }
        if (step.failure != methods::AuthRounds::Failure::None) {
            tunnel.say("authentication failed: %s", failureText(step.failure));
            return false;
        }
        std::string token;
        if (!makeToken(tunnel, endpoints, step, context, token)) {
            step = rounds.onTokenFailure();
            continue;
        }
        std::string request;
        HttpAnswer answer;
        if (!proxyauth::buildRequest(endpoints.targetHost, endpoints.targetPort, step.scheme, token,
                                     request) ||
            (step.reconnect && !tunnel.reopen(endpoints.proxyHost, endpoints.proxyPort, error)) ||
            !tunnel.send(request.data(), request.size(), error) ||
            !answer.read(tunnel, proxyauth::kHandshakeBufferSize, error)) {
            return false;
        }
        const httpconnect::StatusLine line = answer.judge(tunnel);
        if (httpconnect::tunnelOpened(line)) {
            tunnel.say("authenticated with %s", proxyauth::schemeName(step.scheme));
            const std::string beyond = answer.beyondHeader();
            tunnel.stream().unread(beyond.data(), beyond.size());
            return true;
        }
        if (!line.wellFormed) {
            return false;
        }
        if (line.status != proxyauth::kAuthenticationRequiredStatus) {
            tunnel.say("authentication failed: the proxy answered %d", line.status);
            return false;
        }
        challenged = challengeOf(tunnel, answer);
        step = rounds.onChallenge(challenged.challenges, challenged.reusable);
    }
}
