// The rounds of a proxy handshake, event by event: which scheme answers, whether its context
// starts afresh, on which connection, and when the handshake gives up.
#include "proxy/methods/AuthRounds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using methods::AuthRounds;
using proxyauth::Challenge;
using proxyauth::Scheme;

// An event: a 407 with its challenges and whether its connection goes on, or "token failed".
struct Event {
    std::vector<Challenge> challenges;
    bool reusable = true;
    bool tokenFailed = false;
};

Event answer(std::vector<Challenge> challenges, bool reusable = true) {
    return Event{std::move(challenges), reusable, false};
}

const Event kTokenFailed{{}, true, true};
const Challenge kNegotiate{Scheme::Negotiate, ""};
const Challenge kNtlm{Scheme::Ntlm, ""};
const Challenge kNtlmToken{Scheme::Ntlm, "type 2"};
const Challenge kNegotiateToken{Scheme::Negotiate, "more"};
const Challenge kBasic{Scheme::Basic, ""};

// "NTLM fresh same", "NTLM answers 'type 2' on new", "fail AllRejected", with what happened to
// the scheme before in front: "rejected NTLM: ...", "restarted NTLM: ...".
std::string describe(const AuthRounds::Step& step) {
    std::string text;
    if (step.rejected || step.restarted) {
        text = std::string(step.rejected ? "rejected " : "restarted ") +
               proxyauth::schemeName(step.previous) + ": ";
    }
    switch (step.failure) {
    case AuthRounds::Failure::NothingUsable:
        return text + "fail NothingUsable";
    case AuthRounds::Failure::AllRejected:
        return text + "fail AllRejected";
    case AuthRounds::Failure::RoundCap:
        return text + "fail RoundCap";
    case AuthRounds::Failure::None:
        break;
    }
    text += proxyauth::schemeName(step.scheme);
    text += step.fresh ? " fresh" : " answers '" + step.challenge + "'";
    return text + (step.reconnect ? " on new" : " same");
}

TEST(AuthRounds, SchemesAnswerRejectRestartAndStopAtTheCap) {
    struct Row {
        const char* name;
        std::vector<Event> events;
        std::vector<std::string> steps;
    };
    const Row rows[] = {
        {"Negotiate first, whatever the order offered",
         {answer({kNtlm, kBasic, kNegotiate})},
         {"Negotiate fresh same"}},
        {"NTLM over one kept connection",
         {answer({kNtlm}), answer({kNtlmToken})},
         {"NTLM fresh same", "NTLM answers 'type 2' same"}},
        {"the first 407 closes: the scheme starts on a new connection",
         {answer({kNtlm}, false), answer({kNtlmToken})},
         {"NTLM fresh on new", "NTLM answers 'type 2' same"}},
        {"a 407 mid-handshake closes: the scheme starts again, once",
         {answer({kNtlm}), answer({kNtlmToken}, false), answer({kNtlmToken}, false)},
         {"NTLM fresh same", "restarted NTLM: NTLM fresh on new", "fail AllRejected"}},
        {"a bare challenge after our token rejects the scheme; the next one follows",
         {answer({kNegotiate, kNtlm}), answer({kNegotiate, kNtlm}), answer({kNtlmToken})},
         {"Negotiate fresh same", "rejected Negotiate: NTLM fresh same",
          "NTLM answers 'type 2' same"}},
        {"a scheme that cannot make its token gives way to the next",
         {answer({kNegotiate, kNtlm}, false), kTokenFailed, answer({kNtlmToken})},
         {"Negotiate fresh on new", "NTLM fresh on new", "NTLM answers 'type 2' same"}},
        {"nothing left after rejections",
         {answer({kNegotiate}), answer({kNegotiate})},
         {"Negotiate fresh same", "rejected Negotiate: fail AllRejected"}},
        {"only a password scheme", {answer({kBasic})}, {"fail NothingUsable"}},
        {"no scheme at all", {answer({})}, {"fail NothingUsable"}},
        {"the only scheme cannot make its token",
         {answer({kNtlm}), kTokenFailed},
         {"NTLM fresh same", "fail AllRejected"}},
        {"four rounds at most",
         {answer({kNegotiate}), answer({kNegotiateToken}), answer({kNegotiateToken}),
          answer({kNegotiateToken}), answer({kNegotiateToken})},
         {"Negotiate fresh same", "Negotiate answers 'more' same", "Negotiate answers 'more' same",
          "Negotiate answers 'more' same", "fail RoundCap"}},
        {"a failed token is no round",
         {answer({kNegotiate, kNtlm}), kTokenFailed, answer({kNtlmToken}), answer({kNtlmToken}),
          answer({kNtlmToken}), answer({kNtlmToken})},
         {"Negotiate fresh same", "NTLM fresh same", "NTLM answers 'type 2' same",
          "NTLM answers 'type 2' same", "NTLM answers 'type 2' same", "fail RoundCap"}},
    };
    for (const Row& row : rows) {
        AuthRounds rounds;
        std::vector<std::string> steps;
        for (const Event& event : row.events) {
            steps.push_back(describe(event.tokenFailed
                                         ? rounds.onTokenFailure()
                                         : rounds.onChallenge(event.challenges, event.reusable)));
        }
        EXPECT_EQ(row.steps, steps) << row.name;
    }
}

} // namespace
