#include "proxy/methods/AuthRounds.h"

#include <algorithm>

namespace methods {

namespace {

using proxyauth::Scheme;

constexpr Scheme kPreference[] = {Scheme::Negotiate, Scheme::Ntlm};

bool holds(const std::vector<Scheme>& schemes, Scheme scheme) {
    return std::find(schemes.begin(), schemes.end(), scheme) != schemes.end();
}

} // namespace

AuthRounds::Step AuthRounds::onChallenge(const std::vector<proxyauth::Challenge>& challenges,
                                         bool reusable) {
    lastReusable = reusable;
    for (const Scheme scheme : kPreference) {
        const bool inAnswer =
            std::any_of(challenges.begin(), challenges.end(),
                        [scheme](const proxyauth::Challenge& c) { return c.scheme == scheme; });
        if (inAnswer && !holds(offered, scheme)) {
            offered.push_back(scheme);
        }
    }
    // The enumeration lists the schemes in the order of preference.
    std::sort(offered.begin(), offered.end());
    Step step;
    if (!inScheme) {
        return startNext(step);
    }
    step.previous = current;
    const auto answer =
        std::find_if(challenges.begin(), challenges.end(), [this](const proxyauth::Challenge& c) {
            return c.scheme == current && !c.token.empty();
        });
    if (answer == challenges.end()) {
        step.rejected = true;
    } else if (reusable) {
        step.scheme = current;
        step.challenge = answer->token;
        return send(step);
    } else if (!currentRestarted) {
        currentRestarted = true;
        step.restarted = true;
        step.scheme = current;
        step.fresh = true;
        step.reconnect = true;
        return send(step);
    }
    disabled.push_back(current);
    inScheme = false;
    return startNext(step);
}

AuthRounds::Step AuthRounds::onTokenFailure() {
    --rounds;
    disabled.push_back(current);
    inScheme = false;
    return startNext(Step());
}

AuthRounds::Step AuthRounds::startNext(Step step) {
    const auto next = std::find_if(offered.begin(), offered.end(),
                                   [this](Scheme scheme) { return !holds(disabled, scheme); });
    if (next == offered.end()) {
        step.failure = offered.empty() ? Failure::NothingUsable : Failure::AllRejected;
        return step;
    }
    inScheme = true;
    current = *next;
    currentRestarted = false;
    step.scheme = current;
    step.fresh = true;
    step.reconnect = !lastReusable;
    return send(step);
}

AuthRounds::Step AuthRounds::send(Step step) {
    if (rounds >= kMaxAuthRounds) {
        step.failure = Failure::RoundCap;
        return step;
    }
    ++rounds;
    return step;
}

} // namespace methods
