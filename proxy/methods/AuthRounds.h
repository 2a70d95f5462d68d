// The rounds of answering a proxy's 407 challenges, decided over plain data: which scheme to
// answer with, whether its context starts afresh, whether on a new connection, and when to give
// up. Negotiate goes before NTLM; a bare challenge after our token rejects the scheme, and the
// next one offered gets its turn. Where the connection cannot carry a scheme's next round, the
// scheme starts again on a new connection, once. No more than kMaxAuthRounds requests carry a
// token.
#pragma once

#include "proxy/wire/ProxyAuthWire.h"

#include <string>
#include <vector>

namespace methods {

constexpr int kMaxAuthRounds = 4;

class AuthRounds {
public:
    enum class Failure {
        None,
        NothingUsable, // only schemes that need a stored password, or none at all
        AllRejected,   // every usable scheme was rejected or could not make its token
        RoundCap,      // kMaxAuthRounds requests sent without an answer other than 407
    };

    struct Step {
        Failure failure = Failure::None; // None: send the next request
        proxyauth::Scheme scheme = proxyauth::Scheme::Other;
        bool fresh = false;     // a new context of the scheme, with no challenge to answer
        bool reconnect = false; // on a new connection to the proxy
        std::string challenge;  // the proxy's token to answer, unless fresh
        // What happened to the scheme of the round before: turned down by the proxy, or
        // started again because its connection could not go on.
        bool rejected = false;
        bool restarted = false;
        proxyauth::Scheme previous = proxyauth::Scheme::Other;
    };

    // After a 407 with these challenges; `reusable` when its connection can carry the next
    // request.
    Step onChallenge(const std::vector<proxyauth::Challenge>& challenges, bool reusable);

    // The scheme of the last step could not make its token: the next one gets its turn.
    Step onTokenFailure();

private:
    Step startNext(Step step);
    Step send(Step step);

    std::vector<proxyauth::Scheme> offered; // usable schemes, in the order of preference
    std::vector<proxyauth::Scheme> disabled;
    bool inScheme = false;
    proxyauth::Scheme current = proxyauth::Scheme::Other;
    bool currentRestarted = false;
    bool lastReusable = false;
    int rounds = 0;
};

} // namespace methods
