// A script's answer in the words of each system, and the same route named by several sources.
#include "proxy/routes/ProxyScriptAnswer.h"
#include "proxy/routes/UniqueRoutes.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptAnswer, EveryFormOfProxyListGivesItsProxiesInOrder) {
    struct Case {
        std::string answer;
        std::vector<ScriptProxy> proxies;
        std::vector<std::string> unusable;
    };
    const Case cases[] = {
        {"PROXY a:80; PROXY b:81; DIRECT",
         {{MethodHttpConnect, "a", 80}, {MethodHttpConnect, "b", 81}},
         {}},
        {"proxy a:80;socks s:1080;SOCKS4 t:1081",
         {{MethodHttpConnect, "a", 80}, {MethodSocks, "s", 1080}, {MethodSocks, "t", 1081}},
         {}},
        {"a:80;b:81", {{MethodHttpConnect, "a", 80}, {MethodHttpConnect, "b", 81}}, {}},
        {"a:80 b:81", {{MethodHttpConnect, "a", 80}, {MethodHttpConnect, "b", 81}}, {}},
        {"socks=s:1080;http=h:3128",
         {{MethodSocks, "s", 1080}, {MethodHttpConnect, "h", 3128}},
         {}},
        {"http://h:3128 socks4a://s:1080/ direct://",
         {{MethodHttpConnect, "h", 3128}, {MethodSocks, "s", 1080}},
         {}},
        {"DIRECT", {}, {}},
        {"", {}, {}},
        {"HTTPS t:443; SOCKS5 s:1080; PROXY a:80",
         {{MethodSocks5, "s", 1080}, {MethodHttpConnect, "a", 80}},
         {"HTTPS t:443"}},
        {"socks5://s:1080 https://t:443 socks5h://u:1081/",
         {{MethodSocks5, "s", 1080}, {MethodSocks5, "u", 1081}},
         {"https://t:443"}},
        {"https=t:443;HTTPS=u:8443",
         {{MethodHttpConnect, "t", 443}, {MethodHttpConnect, "u", 8443}},
         {}},
        {"PROXY a; PROXY b:0; PROXY c:65536; PROXY :80; PROXY [::1]:80",
         {{MethodHttpConnect, "::1", 80}},
         {"PROXY a", "PROXY b:0", "PROXY c:65536", "PROXY :80"}},
        {"PROXY [fd00::1]:3128; SOCKS [fd00::2]:1080; PROXY fd00::1:3128; PROXY [fd00::1]",
         {{MethodHttpConnect, "fd00::1", 3128}, {MethodSocks, "fd00::2", 1080}},
         {"PROXY fd00::1:3128", "PROXY [fd00::1]"}},
        {"http://[fd00::1]:3128/ socks4://u:p@[::1]:1080 [fd00::3]:80",
         {{MethodHttpConnect, "fd00::1", 3128},
          {MethodSocks, "::1", 1080},
          {MethodHttpConnect, "fd00::3", 80}},
         {}},
        {"http=a:80;https=me@b:443",
         {{MethodHttpConnect, "a", 80}, {MethodHttpConnect, "b", 443}},
         {}},
        {"PROXY me:x@[fd00::1]:80; bad=u@h:1", {{MethodHttpConnect, "fd00::1", 80}}, {"bad=h:1"}},
        {"PROXY a:80 extra", {}, {"PROXY a:80 extra"}},
        {"http://user:pw@h:3128", {{MethodHttpConnect, "h", 3128}}, {}},
        // No part of a password becomes a host or an unusable entry, whatever it holds.
        {"http://user:s3cr3t==@h:3128", {{MethodHttpConnect, "h", 3128}}, {}},
        {"PROXY tok=en@h:8080", {{MethodHttpConnect, "h", 8080}}, {}},
        {"socks5://u:p@ss:w/#%@s:1080", {{MethodSocks5, "s", 1080}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const ScriptAnswerEntries entries = parseScriptAnswer(c.answer);
        EXPECT_EQ(c.proxies, entries.proxies);
        EXPECT_EQ(c.unusable, entries.unusable);
    }
    EXPECT_EQ("https://updates.example.com/", scriptUrlFor({"updates.example.com", 443}));
    EXPECT_EQ("http://10.0.0.7:8443/", scriptUrlFor({"10.0.0.7", 8443}));
    EXPECT_EQ("http://[fd00::1]:47006/", scriptUrlFor({"fd00::1", 47006}));
    EXPECT_EQ("https://[::1]/", scriptUrlFor({"::1", 443}));
}

ProxyCandidate route(ProxyMethodCode method, const char* proxy, std::uint16_t proxyPort,
                     const char* target = "t", std::int32_t writeOrder = 21) {
    ProxyCandidate candidate(nullptr);
    candidate.method = method;
    candidate.proxyHost = proxy;
    candidate.proxyPort = proxyPort;
    candidate.targetHost = target;
    candidate.targetPort = 443;
    candidate.writeOrder = writeOrder;
    return candidate;
}

TEST(UniqueRoutes, EachRouteIsTriedOnceInTheOrderFirstNamed) {
    using List = std::vector<ProxyCandidate>;
    const ProxyCandidate direct = route(MethodDirect, "", 0, "t", 1);
    struct Case {
        const char* name;
        std::vector<List> lists;
        List attempts;
    };
    const Case cases[] = {
        {"static, script and machine-wide alike",
         {{direct, route(100, "p", 80)},
          {route(100, "p", 80, "t", 22)},
          {route(100, "P", 80, "t", 23)}},
         {direct, route(100, "p", 80)}},
        {"the same proxy on two connections",
         {{route(100, "p", 80), route(100, "p", 80)}},
         {route(100, "p", 80)}},
        {"another method, port or target is another route",
         {{route(100, "p", 80), route(200, "p", 80), route(100, "p", 81),
           route(100, "p", 80, "u")}},
         {route(100, "p", 80), route(200, "p", 80), route(100, "p", 81), route(100, "p", 80, "u")}},
        {"the targets' own direct candidates are kept as given",
         {{direct, direct}, {direct}},
         {direct, direct, direct}},
        {"target hosts count their letter case",
         {{route(100, "p", 80, "t"), route(100, "p", 80, "T")}},
         {route(100, "p", 80, "t"), route(100, "p", 80, "T")}},
        {"nothing", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const List attempts = uniqueRoutes(c.lists);
        ASSERT_EQ(c.attempts.size(), attempts.size());
        for (std::size_t i = 0; i < attempts.size(); ++i) {
            EXPECT_TRUE(sameRoute(c.attempts[i], attempts[i])) << i;
            EXPECT_EQ(c.attempts[i].proxyHost, attempts[i].proxyHost) << i;
            EXPECT_EQ(c.attempts[i].writeOrder, attempts[i].writeOrder) << i;
        }
    }
}

} // namespace
