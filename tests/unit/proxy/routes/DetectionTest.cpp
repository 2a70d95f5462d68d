// Detection over a scripted settings source: raw Windows texts in, log lines and candidates out.
#include "FakeProxySettings.h"
#include "LogCapture.h"

#include "platform/ProxySettings.h"
#include "proxy/routes/ProxyList.h"
#include "proxy/routes/ProxySettingsDetection.h"
#include "proxy/routes/WriteOrder.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

using platform::ProxyQueryResult;

constexpr std::uint32_t kDirect = platform::kProxyTypeDirect;
constexpr std::uint32_t kProxy = platform::kProxyTypeProxy;
constexpr std::uint32_t kAutoUrl = platform::kProxyTypeAutoProxyUrl;
constexpr std::uint32_t kAutoDetect = platform::kProxyTypeAutoDetect;
constexpr std::uint32_t kAccessDirect = 1; // INTERNET_OPEN_TYPE_DIRECT
constexpr long kInvalidParameter = 87;     // ERROR_INVALID_PARAMETER
constexpr long kNoSuchConnection = 1168;   // ERROR_NOT_FOUND
constexpr long kInternalError = 12004;     // ERROR_INTERNET_INTERNAL_ERROR

ProxyQueryResult answer(std::uint32_t flags, std::optional<std::string> server = std::nullopt,
                        std::optional<std::string> bypass = std::nullopt) {
    ProxyQueryResult result;
    result.flags = flags;
    result.server = std::move(server);
    result.bypass = std::move(bypass);
    return result;
}

ProxyQueryResult failure(long error) {
    ProxyQueryResult result;
    result.failed = true;
    result.error = error;
    return result;
}

using qvtest::FakeSettings;

// Every script answers with what it was asked, so that a test sees which jobs were made.
platform::ProxyScriptQuery echoingScript(const platform::ProxyScriptRequest& request) {
    return [request] {
        platform::ProxyScriptAnswer answer;
        answer.proxies = request.url + (request.autoDetect ? " discovered" : "") +
                         (request.scriptUrl ? " by " + *request.scriptUrl : "");
        return answer;
    };
}

FakeSettings perConnection(const std::string& version, ProxyQueryResult lan) {
    FakeSettings settings;
    settings.version = version;
    settings.connections[""] = std::move(lan);
    return settings;
}

FakeSettings lanWith(std::uint32_t flags, std::optional<std::string> server,
                     std::optional<std::string> bypass = std::nullopt) {
    return perConnection("6.0.2900.2180", answer(flags, std::move(server), std::move(bypass)));
}

FakeSettings globalWith(ProxyQueryResult global) {
    FakeSettings settings;
    settings.version = "4.72.3110.8";
    settings.global = std::move(global);
    return settings;
}

FakeSettings withDialUps(FakeSettings settings,
                         const std::vector<std::pair<std::string, ProxyQueryResult>>& dialUps) {
    for (const auto& [name, result] : dialUps) {
        settings.dialUps.push_back(name);
        settings.connections[name] = result;
    }
    return settings;
}

FakeSettings withMachineWide(FakeSettings settings, ProxyQueryResult machineWide) {
    settings.machineWide = std::move(machineWide);
    return settings;
}

FakeSettings withScripts(FakeSettings settings, bool autoDetect,
                         std::optional<std::string> scriptUrl) {
    settings.scripts = echoingScript;
    settings.automatic = platform::AutomaticProxySettings{autoDetect, std::move(scriptUrl)};
    return settings;
}

FakeSettings openingAs(platform::ProxySettingsOpen openResult) {
    FakeSettings settings;
    settings.openResult = openResult;
    return settings;
}

struct Entry {
    ProxyMethodCode method;
    std::string host;
    std::uint16_t port;
    std::int32_t writeOrder = routes::kDetectedWriteOrder;
};

struct Row {
    const char* name;
    FakeSettings settings;
    std::vector<std::string> log;
    std::vector<Entry> entries; // each yields one candidate per target
    bool result;
    std::vector<std::string> scriptAnswers = {}; // what each script job's query gave, in order
};

const TargetList kTargets{{"updates.example.com", 443}, {"10.0.0.7", 8443}};

// Marks the candidate the probe put first; detection must leave it alone.
ProxyCandidate directCandidate(methods::RouteTrier* connector) {
    ProxyCandidate candidate(connector);
    candidate.method = MethodDirect;
    candidate.targetHost = "already.listed";
    return candidate;
}

TEST(DetectionTables, LogLinesAndCandidatesFollowTheSettings) {
    const std::string kLan = "PROXY: Connection 'LAN' ";
    const std::string kIe6 = "PROXY: IE 6 Detected";
    const std::string kHttpsAndSocks = "http=a:80;https=b:443;socks=c:1080";
    std::vector<Row> rows = {
        {"version 4 reads the global setting",
         globalWith(answer(platform::kAccessTypeProxy, "proxy:8080")),
         {"PROXY: IE 4 Detected", "PROXY: Uses a Proxy Server...",
          "PROXY: Proxy Server: proxy:8080", "PROXY: Try 'everything' proxy:8080"},
         {{MethodHttpConnect, "proxy", 8080}},
         true},
        {"global bypass list",
         globalWith(answer(platform::kAccessTypeProxy, "proxy:8080", "<local>")),
         {"PROXY: IE 4 Detected", "PROXY: Uses a Proxy Server...",
          "PROXY: Proxy Server: proxy:8080", "PROXY: Bypass list: <local>",
          "PROXY: Try 'everything' proxy:8080"},
         {{MethodHttpConnect, "proxy", 8080}},
         true},
        {"global access type without both low bits is direct",
         globalWith(answer(kAccessDirect, "ignored:1")),
         {"PROXY: IE 4 Detected", "PROXY: Uses no Proxy (Direct connection)..."},
         {},
         true},
        {"global access type with more bits than 3 still uses the proxy",
         globalWith(answer(0x7, "p:1")),
         {"PROXY: IE 4 Detected", "PROXY: Uses a Proxy Server...", "PROXY: Proxy Server: p:1",
          "PROXY: Try 'everything' p:1"},
         {{MethodHttpConnect, "p", 1}},
         true},
        {"failed global query",
         globalWith(failure(kInternalError)),
         {"PROXY: IE 4 Detected", "PROXY: InternetQueryOption failed 12004"},
         {},
         false},
        {"LAN direct and proxy: two blanks between the pieces",
         lanWith(kDirect | kProxy, "proxy:3128"),
         {kIe6, kLan + " Proxy Server: 'proxy:3128'", "PROXY: Try 'everything' proxy:3128"},
         {{MethodHttpConnect, "proxy", 3128}},
         true},
        {"LAN bypass piece after the server piece",
         lanWith(kDirect | kProxy, "proxy:3128", "<local>;*.corp"),
         {kIe6, kLan + " Proxy Server: 'proxy:3128' Bypass list: '<local>;*.corp'",
          "PROXY: Try 'everything' proxy:3128"},
         {{MethodHttpConnect, "proxy", 3128}},
         true},
        {"server and bypass are ignored without the proxy flag",
         lanWith(kDirect, "proxy:3128", "<local>"),
         {kIe6, kLan},
         {},
         true},
        {"both auto flags follow one another; without a way to run scripts they stay a report",
         lanWith(kDirect | kAutoUrl | kAutoDetect, std::nullopt),
         {kIe6, kLan + "Needs to Download config script...Needs to Auto Detect Proxy Settings...",
          "PROXY: Proxy script: its URL is not known",
          "PROXY: Proxy script: automatic detection for https://updates.example.com/: cannot be "
          "run here",
          "PROXY: Proxy script: automatic detection for http://10.0.0.7:8443/: cannot be run "
          "here"},
         {},
         true},
        {"a script flag whose URL nobody knows runs nothing, the proxy still counts",
         lanWith(kAutoUrl | kProxy, "p:1"),
         {kIe6, kLan + "Needs to Download config script... Proxy Server: 'p:1'",
          "PROXY: Try 'everything' p:1", "PROXY: Proxy script: its URL is not known"},
         {{MethodHttpConnect, "p", 1}},
         true},
        {"the second library names the script the flags only hint at, for each target",
         withScripts(lanWith(kAutoUrl, std::nullopt), false, "http://wpad/proxy.pac"),
         {kIe6, kLan + "Needs to Download config script...",
          "PROXY: Proxy script: 'http://wpad/proxy.pac' for https://updates.example.com/",
          "PROXY: Proxy script: 'http://wpad/proxy.pac' for http://10.0.0.7:8443/"},
         {},
         true,
         {"https://updates.example.com/ by http://wpad/proxy.pac",
          "http://10.0.0.7:8443/ by http://wpad/proxy.pac"}},
        {"discovery and a script with no flag set, the global path too; a forged line escaped",
         withScripts(globalWith(answer(kAccessDirect)), true, "http://p/\r\nPROXY DETECTED OK"),
         {"PROXY: IE 4 Detected", "PROXY: Uses no Proxy (Direct connection)...",
          "PROXY: Proxy script: automatic detection, then 'http://p/\\r\\nPROXY DETECTED OK' "
          "for https://updates.example.com/",
          "PROXY: Proxy script: automatic detection, then 'http://p/\\r\\nPROXY DETECTED OK' "
          "for http://10.0.0.7:8443/"},
         {},
         true,
         {"https://updates.example.com/ discovered by http://p/\r\nPROXY DETECTED OK",
          "http://10.0.0.7:8443/ discovered by http://p/\r\nPROXY DETECTED OK"}},
        {"the machine-wide proxy comes after the user's, named once per scheme row",
         withMachineWide(lanWith(kProxy, "u:1"),
                         answer(platform::kAccessTypeProxy, "http=m:8080;socks=n:1080", "<local>")),
         {kIe6, kLan + " Proxy Server: 'u:1'", "PROXY: Try 'everything' u:1",
          "PROXY: Machine-wide proxy: 'http=m:8080;socks=n:1080' Bypass list: '<local>'",
          "PROXY: Try 'machine-wide' m:8080", "PROXY: Try 'machine-wide' n:1080"},
         {{MethodHttpConnect, "u", 1, routes::kDetectedWriteOrder},
          {MethodHttpConnect, "m", 8080, routes::kMachineWideWriteOrder},
          {MethodSocks, "n", 1080, routes::kMachineWideWriteOrder}},
         true},
        {"no machine-wide proxy, and a failed user query keeps the machine-wide one",
         withMachineWide(globalWith(failure(kInternalError)), answer(kAccessDirect, "x:1")),
         {"PROXY: IE 4 Detected", "PROXY: InternetQueryOption failed 12004",
          "PROXY: Machine-wide: no proxy"},
         {},
         false},
        {"a failed machine-wide query",
         withMachineWide(lanWith(kDirect, std::nullopt), failure(kInternalError)),
         {kIe6, kLan, "PROXY: WinHttpGetDefaultProxyConfiguration failed 12004"},
         {},
         true},
        {"a query that fails without an error code is still a failure",
         globalWith(failure(0)),
         {"PROXY: IE 4 Detected", "PROXY: InternetQueryOption failed 0"},
         {},
         false},
        {"a connection query that fails without an error code gives no candidates",
         withDialUps(lanWith(kProxy, "p:1"), {{"Modem", failure(0)}}),
         {kIe6, kLan + " Proxy Server: 'p:1'",
          "PROXY: Connection 'Modem' InternetQueryOption failed 0"},
         {},
         false},
        {"user information never reaches the log, whatever its password holds but a ';'",
         lanWith(kProxy, "http=user:s3cr/t?x#y=@h:80;socks=u:p@w@s:1080", "a\nPROXY DETECTED OK"),
         {kIe6,
          kLan + " Proxy Server: 'http=h:80;socks=s:1080' Bypass list: "
                 "'a\\nPROXY DETECTED OK'",
          "PROXY: Try 'everything' h:80", "PROXY: Try 'everything' s:1080"},
         {{MethodHttpConnect, "h", 80}, {MethodSocks, "s", 1080}},
         true},
        {"user information is removed per entry and takes no other entry with it",
         lanWith(kProxy, "http=a:80;https=me@b:443"),
         {kIe6, kLan + " Proxy Server: 'http=a:80;https=b:443'", "PROXY: Try 'everything' b:443",
          "PROXY: Try 'everything' a:80"},
         {{MethodHttpConnect, "b", 443}, {MethodHttpConnect, "a", 80}},
         true},
        {"IPv6 proxies in brackets, recorded without them",
         lanWith(kProxy, "http=[fd00::1]:3128;socks=[FD00::2]:1080"),
         {kIe6, kLan + " Proxy Server: 'http=[fd00::1]:3128;socks=[FD00::2]:1080'",
          "PROXY: Try 'everything' [fd00::1]:3128", "PROXY: Try 'everything' [FD00::2]:1080"},
         {{MethodHttpConnect, "fd00::1", 3128}, {MethodSocks, "FD00::2", 1080}},
         true},
        {"an IPv6 entry whose scheme Wine dropped is an address of its own",
         lanWith(kProxy, "[fd00::1]:3128;socks=s:1080"),
         {kIe6, kLan + " Proxy Server: '[fd00::1]:3128;socks=s:1080'",
          "PROXY: Try 'everything' [fd00::1]:3128", "PROXY: Try 'everything' s:1080"},
         {{MethodHttpConnect, "fd00::1", 3128}, {MethodSocks, "s", 1080}},
         true},
        {"an IPv6 address without brackets, or without a good port, is not usable",
         lanWith(kProxy, "http=fd00::1:3128;https=[fd00::1]:0;socks=[::1]"),
         {kIe6, kLan + " Proxy Server: 'http=fd00::1:3128;https=[fd00::1]:0;socks=[::1]'",
          "PROXY: Not usable: 'everything' https=[fd00::1] with no port from 1 to 65535",
          "PROXY: Not usable: 'everything' http=fd00::1:3128: no host, or an IPv6 address "
          "without brackets"},
         {},
         true},
        {"an HTTPS proxy URL names a kind of proxy no method here speaks",
         lanWith(kProxy, "https://t:443"),
         {kIe6, kLan + " Proxy Server: 'https://t:443'",
          "PROXY: Not usable: 'everything' https://t:443: no method here speaks this kind of "
          "proxy"},
         {},
         true},
        {"names of connections and the version are escaped, never cut as settings are",
         withDialUps(perConnection("6@\t.0", answer(kDirect, std::nullopt)),
                     {{"Office@Home", answer(kDirect, std::nullopt)},
                      {"a\r\nPROXY DETECTED OK", failure(kInvalidParameter)}}),
         {"PROXY: IE 6 Detected", kLan, "PROXY: Connection 'Office@Home' ",
          "PROXY: Connection 'a\\r\\nPROXY DETECTED OK' InternetQueryOption failed 87"},
         {},
         false},
        {"an unknown version is shown whole",
         perConnection("1@0\x1b", answer(kDirect, std::nullopt)),
         {"PROXY: IE 1 Detected", "PROXY: Unknown IE Version 1@0\\x1B"},
         {},
         false},
        {"the global texts are escaped and without user information",
         globalWith(answer(platform::kAccessTypeProxy, "http://me:pw@p:8\r\n1", "<local>\r")),
         {"PROXY: IE 4 Detected", "PROXY: Uses a Proxy Server...",
          "PROXY: Proxy Server: http://p:8\\r\\n1", "PROXY: Bypass list: <local>\\r",
          "PROXY: Try 'everything' p:8"},
         {{MethodHttpConnect, "p", 8}},
         true},
        {"scheme rows in the order none, https, http, socks",
         lanWith(kProxy, kHttpsAndSocks),
         {kIe6, kLan + " Proxy Server: '" + kHttpsAndSocks + "'", "PROXY: Try 'everything' b:443",
          "PROXY: Try 'everything' a:80", "PROXY: Try 'everything' c:1080"},
         {{MethodHttpConnect, "b", 443}, {MethodHttpConnect, "a", 80}, {MethodSocks, "c", 1080}},
         true},
        {"an http entry without a port is none, and takes nothing of the next entry",
         lanWith(kProxy, "http=a;https=b:443"),
         {kIe6, kLan + " Proxy Server: 'http=a;https=b:443'", "PROXY: Try 'everything' b:443"},
         {{MethodHttpConnect, "b", 443}},
         true},
        {"a URL is found only by its own scheme",
         lanWith(kProxy, "http://a:8080"),
         {kIe6, kLan + " Proxy Server: 'http://a:8080'", "PROXY: Try 'everything' a:8080"},
         {{MethodHttpConnect, "a", 8080}},
         true},
        {"no colon, no candidate",
         lanWith(kProxy, "proxy"),
         {kIe6, kLan + " Proxy Server: 'proxy'"},
         {},
         true},
        {"ports that are no number or out of range are not usable, not wrapped",
         lanWith(kProxy, "http=p:65616;https=proxy:abc;socks=s:1080"),
         {kIe6, kLan + " Proxy Server: 'http=p:65616;https=proxy:abc;socks=s:1080'",
          "PROXY: Not usable: 'everything' https=proxy with no port from 1 to 65535",
          "PROXY: Not usable: 'everything' http=p with no port from 1 to 65535",
          "PROXY: Try 'everything' s:1080"},
         {{MethodSocks, "s", 1080}},
         true},
        {"the entry stops at a blank",
         lanWith(kProxy, "a:80 b:81"),
         {kIe6, kLan + " Proxy Server: 'a:80 b:81'", "PROXY: Try 'everything' a:80"},
         {{MethodHttpConnect, "a", 80}},
         true},
        {"a two-digit major version is unknown",
         perConnection("10.0.9200.16384", answer(kProxy, "proxy:3128")),
         {"PROXY: IE 1 Detected", "PROXY: Unknown IE Version 10.0.9200.16384"},
         {},
         false},
        {"an empty version is unknown, and no NUL byte reaches the log",
         perConnection("", answer(kProxy, "proxy:3128")),
         {"PROXY: IE  Detected", "PROXY: Unknown IE Version "},
         {},
         false},
        {"version 5 is the first with per-connection settings",
         perConnection("5.50.4134.0100", answer(kProxy, "p:5")),
         {"PROXY: IE 5 Detected", kLan + " Proxy Server: 'p:5'", "PROXY: Try 'everything' p:5"},
         {{MethodHttpConnect, "p", 5}},
         true},
        {"version 9 is the last with per-connection settings",
         perConnection("9.11.9600.18376", answer(kProxy, "p:9")),
         {"PROXY: IE 9 Detected", kLan + " Proxy Server: 'p:9'", "PROXY: Try 'everything' p:9"},
         {{MethodHttpConnect, "p", 9}},
         true},
        {"failed dial-up queries cancel the LAN's proxy too",
         withDialUps(
             lanWith(kDirect | kProxy, "proxy:3128"),
             {{"Office VPN", failure(kInvalidParameter)}, {"Modem", failure(kNoSuchConnection)}}),
         {kIe6, kLan + " Proxy Server: 'proxy:3128'",
          "PROXY: Connection 'Office VPN' InternetQueryOption failed 87",
          "PROXY: Connection 'Modem' InternetQueryOption failed 1168"},
         {},
         false},
        {"connections after a failed one are still read",
         withDialUps(perConnection("6.0", failure(kInternalError)),
                     {{"Modem", answer(kProxy, "m:1")}}),
         {"PROXY: IE 6 Detected", kLan + "InternetQueryOption failed 12004",
          "PROXY: Connection 'Modem'  Proxy Server: 'm:1'"},
         {},
         false},
        {"the same proxy on two connections is listed twice; the probe tries it once",
         withDialUps(lanWith(kProxy, "proxy:3128"), {{"Modem", answer(kProxy, "proxy:3128")}}),
         {kIe6, kLan + " Proxy Server: 'proxy:3128'",
          "PROXY: Connection 'Modem'  Proxy Server: 'proxy:3128'",
          "PROXY: Try 'everything' proxy:3128", "PROXY: Try 'everything' proxy:3128"},
         {{MethodHttpConnect, "proxy", 3128}, {MethodHttpConnect, "proxy", 3128}},
         true},
        {"a proxy the environment names but cannot be used is reported, escaped",
         [] {
             ProxyQueryResult lan = answer(kDirect | kProxy, "http=h:3128");
             lan.unusable.push_back({"all_proxy", "socks5://s:1080\n"});
             return perConnection("9.0", lan);
         }(),
         {"PROXY: IE 9 Detected", kLan + " Proxy Server: 'http=h:3128'",
          "PROXY: Not usable: all_proxy=socks5://s:1080\\n", "PROXY: Try 'everything' h:3128"},
         {{MethodHttpConnect, "h", 3128}},
         true},
        {"no settings library",
         openingAs(platform::ProxySettingsOpen::NoLibrary),
         {"PROXY: WinINet FAILED"},
         {},
         false},
        {"no query function",
         openingAs(platform::ProxySettingsOpen::NoQueryFunction),
         {"PROXY: No InternetQueryOption"},
         {},
         false},
    };

    int connectorObject = 0;
    auto* const connector = reinterpret_cast<methods::RouteTrier*>(&connectorObject);
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        const qvtest::LogCapture log;
        std::vector<ProxyCandidate> candidates{directCandidate(connector)};

        std::vector<ProxyScriptJob> scripts;
        EXPECT_EQ(row.result,
                  detectProxySettings(connector, candidates, kTargets, row.settings, scripts));
        std::vector<std::string> scriptAnswers;
        for (const ProxyScriptJob& job : scripts) {
            scriptAnswers.push_back(job.query().proxies);
        }
        EXPECT_EQ(row.scriptAnswers, scriptAnswers);

        EXPECT_EQ(row.log, log.lines());
        EXPECT_EQ(0, row.settings.liveSessions) << "the settings library was not released";
        ASSERT_EQ(1 + row.entries.size() * kTargets.size(), candidates.size());
        EXPECT_EQ("already.listed", candidates[0].targetHost);
        std::size_t next = 1;
        for (const Entry& entry : row.entries) {
            for (const TargetAddress& target : kTargets) {
                const ProxyCandidate& candidate = candidates[next++];
                SCOPED_TRACE("candidate " + std::to_string(next - 1));
                EXPECT_EQ(connector, candidate.connector);
                EXPECT_EQ(target.host, candidate.targetHost);
                EXPECT_EQ(target.port, candidate.targetPort);
                EXPECT_EQ(entry.method, candidate.method);
                EXPECT_EQ(entry.host, candidate.proxyHost);
                EXPECT_EQ(entry.port, candidate.proxyPort);
                EXPECT_EQ(entry.writeOrder, candidate.writeOrder);
                EXPECT_EQ(0, candidate.error);
                EXPECT_FALSE(candidate.connected);
                EXPECT_EQ(-1, candidate.elapsedMs);
            }
        }
    }
}

TEST(DetectionTables, NoTargetsGiveTryLinesButNoCandidates) {
    FakeSettings settings = lanWith(kProxy, "proxy:3128");
    const qvtest::LogCapture log;
    std::vector<ProxyCandidate> candidates;
    EXPECT_TRUE(detectProxySettings(nullptr, candidates, {}, settings));
    EXPECT_TRUE(candidates.empty());
    EXPECT_EQ("PROXY: Try 'everything' proxy:3128", log.lines().back());
}

TEST(ProxyList, TheFirstEntryOfEachSchemeIsRead) {
    using R = net::HostPortRead;
    struct Case {
        std::string text;
        std::string scheme;
        std::optional<R> read; // none: no entry
        std::string host;
        std::uint16_t port;
    };
    const std::string longHost(300, 'h');
    const Case cases[] = {
        {"http=a:80;https=b:443;socks=c:1080", "", std::nullopt, "", 0},
        {"http=a:80;https=b:443;socks=c:1080", "http", R::Ok, "a", 80},
        {"http=a:80;https=b:443;socks=c:1080", "socks", R::Ok, "c", 1080},
        {"https=b:443", "http", std::nullopt, "", 0},
        {"http://a:8080", "", std::nullopt, "", 0},
        {"http://a:8080", "https", std::nullopt, "", 0},
        {"socks://s:1080", "socks", R::Ok, "s", 1080},
        {"http=a:1;http://b:2", "http", R::Ok, "a", 1},
        {"proxy", "", R::NoPort, "", 0},
        {":8080", "", R::BadHost, "", 0},
        {"p:65535", "", R::Ok, "p", 65535},
        // Ports outside 1 to 65535, or not plain digits, name no route.
        {"p: 81", "", R::BadPort, "p", 0},
        {"p:8\r\n1", "", R::Ok, "p", 8},
        {"p:-1", "", R::BadPort, "p", 0},
        {"p:0", "", R::BadPort, "p", 0},
        {"p:65616", "", R::BadPort, "p", 0},
        {"p:+7", "", R::BadPort, "p", 0},
        {"p:99999999999", "", R::BadPort, "p", 0},
        {"http=p:65616;socks=s:1080", "http", R::BadPort, "p", 0},
        {"", "", std::nullopt, "", 0},
        {"HTTP=e:5", "http", R::Ok, "e", 5},
        {"http=" + longHost + ":8080", "http", R::Ok, longHost, 8080},
        {"http=[fd00::1]:3128/", "http", R::Ok, "fd00::1", 3128},
        {"socks=s:1;[::1]:80", "", R::Ok, "::1", 80},
        {"PROXY a:80;SOCKS s:1", "socks", std::nullopt, "", 0},
        {"http=tok=en@a:80;https=me@b:443", "http", R::Ok, "a", 80},
        {"https=me:p@ss@[::1]:443", "https", R::Ok, "::1", 443},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " / " + c.scheme);
        const std::vector<routes::ListEntry> entries = routes::readProxyList(c.text);
        const routes::ListEntry* entry = routes::firstEntry(entries, c.scheme);
        ASSERT_EQ(c.read.has_value(), entry != nullptr);
        if (entry == nullptr) {
            continue;
        }
        EXPECT_EQ(*c.read, entry->read);
        EXPECT_EQ(c.host, entry->at.host);
        EXPECT_EQ(c.port, entry->at.port);
        EXPECT_EQ(std::string::npos, entry->written.find('@')) << entry->written;
    }
}

} // namespace
