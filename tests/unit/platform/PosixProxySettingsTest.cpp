// The proxy environment variables as the POSIX build presents them: one LAN connection in
// WinINet's form.
#include "LogCapture.h"

#include "platform/ProxySettings.h"
#include "proxy/routes/ProxySettingsDetection.h"
#include "proxy/routes/WriteOrder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>

namespace {

const char* const kVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                  "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

// Sets exactly the given proxy variables for one case and puts the old ones back after it.
class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const std::map<std::string, std::string>& values) {
        for (const char* name : kVariables) {
            if (const char* value = std::getenv(name)) {
                saved[name] = value;
            }
            unsetenv(name);
        }
        for (const auto& [name, value] : values) {
            setenv(name.c_str(), value.c_str(), 1);
        }
    }
    ~ProxyEnvironment() {
        for (const char* name : kVariables) {
            unsetenv(name);
        }
        for (const auto& [name, value] : saved) {
            setenv(name.c_str(), value.c_str(), 1);
        }
    }
    ProxyEnvironment(const ProxyEnvironment&) = delete;
    ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;

private:
    std::map<std::string, std::string> saved;
};

platform::ProxyQueryResult queryLan() {
    std::unique_ptr<platform::ProxySettingsSession> session;
    EXPECT_EQ(platform::ProxySettingsOpen::Ready, platform::systemProxySettings().open(session));
    return session->queryConnection("");
}

TEST(PosixProxySettings, EnvironmentBecomesTheLanServerText) {
    struct Case {
        std::map<std::string, std::string> environment;
        std::optional<std::string> server;
        std::vector<std::string> unusable; // "variable=url" as reported
    };
    const Case cases[] = {
        {{}, std::nullopt, {}},
        {{{"http_proxy", "http://p:3128"}}, "http=p:3128", {}},
        {{{"HTTP_PROXY", "p:3128"}}, "http=p:3128", {}},
        {{{"http_proxy", "a:1"}, {"HTTP_PROXY", "b:2"}}, "http=a:1", {}},
        {{{"http_proxy", ""}, {"HTTP_PROXY", "b:2"}}, "http=b:2", {}},
        {{{"https_proxy", "http://s:8443"}}, "https=s:8443", {}},
        {{{"HTTPS_PROXY", "s:8443"}}, "https=s:8443", {}},
        {{{"http_proxy", "h:1"}, {"https_proxy", "s:2"}}, "http=h:1;https=s:2", {}},
        {{{"all_proxy", "http://all:8080"}}, "http=all:8080;https=all:8080", {}},
        {{{"http_proxy", "h:1"}, {"ALL_PROXY", "x:9"}}, "http=h:1;https=x:9", {}},
        {{{"all_proxy", "socks4://s:1080"}}, "socks=s:1080", {}},
        {{{"all_proxy", "SOCKS4A://s:1081"}}, "socks=s:1081", {}},
        {{{"all_proxy", "socks://s"}}, "socks=s:1080", {}},
        {{{"http_proxy", "p"}}, "http=p:1080", {}},
        {{{"http_proxy", "h:1"}, {"all_proxy", "socks4a://s:2"}}, "http=h:1;socks=s:2", {}},
        {{{"http_proxy", "socks4://s:1"}}, "socks=s:1", {}},
        {{{"https_proxy", "socks4://first:1"}, {"all_proxy", "socks4://second:2"}},
         "socks=first:1",
         {}},
        {{{"http_proxy", "http://user:secret@p:3128/"}}, "http=p:3128", {}},
        {{{"http_proxy", "http://user:s3cr#t@p:3128"}}, "http=p:3128", {}},
        {{{"http_proxy", "http://user:a/b?c@p:3128/x"}}, "http=p:3128", {}},
        {{{"all_proxy", "socks5://u:a/b@s:1080"}}, "socks5=s:1080", {}},
        {{{"https_proxy", "gopher://u:p?w@g:70"}}, std::nullopt, {"https_proxy=gopher://g:70"}},
        {{{"all_proxy", "socks5://s:1080"}}, "socks5=s:1080", {}},
        {{{"http_proxy", "h:1"}, {"ALL_PROXY", "socks5h://s:1080"}}, "http=h:1;socks5=s:1080", {}},
        {{{"https_proxy", "socks5://first:1"}, {"all_proxy", "socks4://s:2"}},
         "socks=s:2;socks5=first:1",
         {}},
        {{{"https_proxy", "https://user:pw@tls:443"}},
         std::nullopt,
         {"https_proxy=https://tls:443"}},
        // IPv6 addresses keep their brackets in the server text, as the lists write them.
        {{{"http_proxy", "http://[::1]:3128"}}, "http=[::1]:3128", {}},
        {{{"http_proxy", "http://u:p@[fd00::1]:3128/"}, {"all_proxy", "socks4://[FD00::2]"}},
         "http=[fd00::1]:3128;socks=[FD00::2]:1080",
         {}},
        {{{"http_proxy", "http://[fd00::1;x]:3128"}},
         std::nullopt,
         {"http_proxy=http://[fd00::1;x]:3128"}},
        {{{"http_proxy", "http://fd00::1:3128"}}, std::nullopt, {"http_proxy=http://fd00::1:3128"}},
        {{{"http_proxy", "p:99999"}}, std::nullopt, {"http_proxy=p:99999"}},
        {{{"http_proxy", "p:0"}}, std::nullopt, {"http_proxy=p:0"}},
        {{{"http_proxy", "a;b=c:1"}}, std::nullopt, {"http_proxy=a;b=c:1"}},
        // Host names are labels, dotted numbers an IPv4 address; what resolves to nothing or to
        // another address than meant is not tried.
        {{{"http_proxy", "my_proxy.corp-1:8"}, {"all_proxy", "socks4://10.0.0.255"}},
         "http=my_proxy.corp-1:8;socks=10.0.0.255:1080",
         {}},
        {{{"http_proxy", "..:1"}}, std::nullopt, {"http_proxy=..:1"}},
        {{{"http_proxy", "a..b:1"}}, std::nullopt, {"http_proxy=a..b:1"}},
        {{{"http_proxy", "-p:1"}}, std::nullopt, {"http_proxy=-p:1"}},
        {{{"http_proxy", "010.0.0.1:1"}}, std::nullopt, {"http_proxy=010.0.0.1:1"}},
        {{{"http_proxy", "10.0.1:1"}}, std::nullopt, {"http_proxy=10.0.1:1"}},
        {{{"http_proxy", "10.0.0.256:1"}}, std::nullopt, {"http_proxy=10.0.0.256:1"}},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& [name, value] : c.environment) {
            shown += name + "=" + value + " ";
        }
        SCOPED_TRACE(shown);
        const ProxyEnvironment environment(c.environment);
        const platform::ProxyQueryResult lan = queryLan();
        EXPECT_EQ(0, lan.error);
        EXPECT_EQ(c.server, lan.server);
        const std::uint32_t flags =
            platform::kProxyTypeDirect | (c.server ? platform::kProxyTypeProxy : 0);
        EXPECT_EQ(flags, lan.flags);
        std::vector<std::string> unusable;
        for (const platform::UnusableProxy& proxy : lan.unusable) {
            unusable.push_back(proxy.variable + "=" + proxy.url);
        }
        EXPECT_EQ(c.unusable, unusable);
    }
}

// The user information of a SOCKS 5 URL travels beside the server text, decoded as curl does;
// no other URL's does.
TEST(PosixProxySettings, Socks5UrlsKeepTheirCredentialsApartFromTheServerText) {
    const std::pair<std::string, std::string> rows[] = {
        {"socks5h://us%40r:p%3aw/%2@s:1080/", "us@r p:w/%2"},
        {"socks5://s:1080", " "},
        {"socks4://u:pw@s:1080", " "},
    };
    for (const auto& [url, login] : rows) {
        const ProxyEnvironment environment({{"all_proxy", url}});
        const platform::ProxyQueryResult lan = queryLan();
        EXPECT_EQ(login, lan.socks5Credentials.user + " " + lan.socks5Credentials.password) << url;
    }
}

TEST(PosixProxySettings, NoProxyIsTheBypassText) {
    const ProxyEnvironment environment({{"http_proxy", "p:1"}, {"NO_PROXY", "localhost,.corp"}});
    EXPECT_EQ(std::optional<std::string>("localhost,.corp"), queryLan().bypass);
}

TEST(PosixProxySettings, TheGlobalSettingIsTheLansWithAnAccessType) {
    std::unique_ptr<platform::ProxySettingsSession> session;
    platform::systemProxySettings().open(session);
    {
        const ProxyEnvironment environment(
            std::map<std::string, std::string>{{"all_proxy", "socks4://s:1"}});
        const platform::ProxyQueryResult global = session->queryGlobal();
        EXPECT_EQ(platform::kAccessTypeProxy, global.flags);
        EXPECT_EQ(std::optional<std::string>("socks=s:1"), global.server);
    }
    const ProxyEnvironment environment(std::map<std::string, std::string>{});
    EXPECT_NE(platform::kAccessTypeProxy,
              session->queryGlobal().flags & platform::kAccessTypeProxy);
}

bool libproxyInstalled() {
    std::unique_ptr<platform::ProxySettingsSession> session;
    platform::systemProxySettings().open(session);
    return session->automaticSettings().has_value();
}

TEST(PosixProxySettings, DetectionReadsTheEnvironmentAsTheLan) {
    const ProxyEnvironment environment(
        {{"https_proxy", "http://p:3128"}, {"all_proxy", "socks5://u:pw@s:1080"}});
    const qvtest::LogCapture log;
    std::vector<ProxyCandidate> candidates;

    EXPECT_TRUE(detectProxySettings(nullptr, candidates, {{"updates.example.com", 443}}));

    std::vector<std::string> expected = {
        "PROXY: IE 9 Detected",
        "PROXY: Connection 'LAN'  Proxy Server: 'https=p:3128;socks5=s:1080'",
        "PROXY: Try 'everything' p:3128", "PROXY: Try 'everything' s:1080"};
    if (libproxyInstalled()) {
        expected.push_back(
            "PROXY: Proxy script: automatic detection for https://updates.example.com/");
    }
    EXPECT_EQ(expected, log.lines());
    ASSERT_EQ(2u, candidates.size());
    EXPECT_EQ(MethodHttpConnect, candidates[0].method);
    EXPECT_EQ("p", candidates[0].proxyHost);
    EXPECT_EQ(3128, candidates[0].proxyPort);
    EXPECT_TRUE(candidates[0].credentials.empty());
    EXPECT_EQ(MethodSocks5, candidates[1].method);
    EXPECT_EQ("s", candidates[1].proxyHost);
    EXPECT_EQ(routes::kSocks5WriteOrder, candidates[1].writeOrder);
    EXPECT_EQ("u", candidates[1].credentials.user);
    EXPECT_EQ("pw", candidates[1].credentials.password);
}

// libproxy as Debian ships it (libproxy1v5) reads the same variables by its own rules; what it
// answers for a target is read by the same translation as a script's answer.
TEST(PosixProxySettings, LibproxyAnswersForTheTarget) {
    if (!libproxyInstalled()) {
        GTEST_SKIP() << "libproxy.so.1 is not installed";
    }
    struct Case {
        std::map<std::string, std::string> environment;
        std::string url;
        std::string answer;
    };
    const Case cases[] = {
        {{}, "https://t.example/", "direct://"},
        {{{"http_proxy", "http://p:3128"}}, "http://t.example:80/", "http://p:3128"},
        {{{"http_proxy", "http://p:3128"}, {"https_proxy", "http://s:8443"}},
         "https://t.example/",
         "http://s:8443"},
        {{{"http_proxy", "socks4://u:pw@s:1080"}}, "http://t.example:80/", "socks4://u:pw@s:1080"},
        {{{"http_proxy", "http://p:3128"}, {"no_proxy", "t.example"}},
         "http://t.example:80/",
         "direct://"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url + " " + c.answer);
        const ProxyEnvironment environment(c.environment);
        std::unique_ptr<platform::ProxySettingsSession> session;
        platform::systemProxySettings().open(session);
        const platform::ProxyScriptQuery query = session->scriptQuery({c.url, std::nullopt, true});
        ASSERT_TRUE(query);
        const platform::ProxyScriptAnswer answer = query();
        EXPECT_FALSE(answer.failed);
        EXPECT_EQ(c.answer, answer.proxies);
    }
}

} // namespace
