// Detection against the real WinINet of Wine, run from a folder that also holds a planted
// wininet.dll (see FakeWininet.cpp) and with Wine told to prefer such a copy, as Windows does.
#include "LogCapture.h"
#include "TestSupport.h"

#include "platform/Registry.h"
#include "proxy/routes/ProxySettingsDetection.h"
#include "proxy/routes/WriteOrder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <regex>

namespace {

constexpr const char* kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kDialUpRoot = "RemoteAccess";
constexpr const char* kDialUpProfiles = "RemoteAccess\\Profile";
constexpr std::uint32_t kValueBufferSize = 4096;

const TargetList kTargets{{"updates.example.com", 443}, {"10.0.0.7", 8443}};

bool wininetLoaded() {
    return GetModuleHandleA("wininet.dll") != nullptr;
}

struct SavedValue {
    std::uint32_t type = platform::kRegNone;
    std::string data;
};

// Sets values of one registry key for a test and puts the earlier ones back after it.
class RegistryValues {
public:
    explicit RegistryValues(const std::string& path) {
        EXPECT_EQ(platform::kRegSuccess,
                  platform::regOpenKey(platform::regCurrentUser(), path, true, key));
    }
    ~RegistryValues() {
        for (const auto& [name, saved] : earlier) {
            if (saved) {
                platform::regSetValue(key, name, saved->type, saved->data.data(),
                                      static_cast<std::uint32_t>(saved->data.size()));
            } else {
                platform::regDeleteValue(key, name);
            }
        }
        platform::regCloseKey(key);
    }
    RegistryValues(const RegistryValues&) = delete;
    RegistryValues& operator=(const RegistryValues&) = delete;

    void setText(const std::string& name, const std::string& text) {
        save(name);
        EXPECT_EQ(platform::kRegSuccess,
                  platform::regSetValue(key, name, platform::kRegSz, text.c_str(),
                                        static_cast<std::uint32_t>(text.size() + 1)));
    }
    void setNumber(const std::string& name, std::uint32_t number) {
        save(name);
        EXPECT_EQ(platform::kRegSuccess,
                  platform::regSetValue(key, name, platform::kRegDword, &number, sizeof number));
    }

private:
    void save(const std::string& name) {
        char buffer[kValueBufferSize];
        std::uint32_t type = platform::kRegNone;
        std::uint32_t size = kValueBufferSize;
        if (platform::regQueryValue(key, name, type, buffer, size) == platform::kRegSuccess) {
            earlier.emplace_back(name, SavedValue{type, std::string(buffer, size)});
        } else {
            earlier.emplace_back(name, std::nullopt);
        }
    }

    platform::RegKey key = nullptr;
    std::vector<std::pair<std::string, std::optional<SavedValue>>> earlier;
};

// A dial-up connection known to the registry for one test; removed after it, with the keys
// above it that the test had to make.
class DialUpConnection {
public:
    explicit DialUpConnection(const std::string& name) : name(name) {
        madeRoot = !exists(kDialUpRoot);
        madeProfiles = !exists(kDialUpProfiles);
        platform::RegKey key = nullptr;
        EXPECT_EQ(platform::kRegSuccess,
                  platform::regOpenKey(platform::regCurrentUser(),
                                       std::string(kDialUpProfiles) + "\\" + name, true, key));
        platform::regCloseKey(key);
    }
    ~DialUpConnection() {
        platform::regDeleteKey(platform::regCurrentUser(),
                               std::string(kDialUpProfiles) + "\\" + name);
        if (madeProfiles) {
            platform::regDeleteKey(platform::regCurrentUser(), kDialUpProfiles);
        }
        if (madeRoot) {
            platform::regDeleteKey(platform::regCurrentUser(), kDialUpRoot);
        }
    }
    DialUpConnection(const DialUpConnection&) = delete;
    DialUpConnection& operator=(const DialUpConnection&) = delete;

private:
    static bool exists(const std::string& path) {
        platform::RegKey key = nullptr;
        if (platform::regOpenKey(platform::regCurrentUser(), path, false, key) !=
            platform::kRegSuccess) {
            return false;
        }
        platform::regCloseKey(key);
        return true;
    }

    std::string name;
    bool madeRoot;
    bool madeProfiles;
};

TEST(WinInet, CopyPlantedBesideTheProgramIsNeverLoaded) {
    ASSERT_FALSE(wininetLoaded());
    // An unguarded load must find the plant, or this test could not tell the two loads apart. A
    // planted winhttp.dll, if loaded, would make the machine-wide query fail.
    const HMODULE planted = LoadLibraryA("wininet.dll");
    ASSERT_NE(nullptr, planted);
    ASSERT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(planted, "plantedMarker")))
        << "expected the planted wininet.dll beside the test program, got another";
    FreeLibrary(planted);
    ASSERT_FALSE(wininetLoaded());
    const HMODULE plantedHttp = LoadLibraryA("winhttp.dll");
    ASSERT_NE(nullptr, plantedHttp);
    ASSERT_EQ(nullptr, reinterpret_cast<void*>(GetProcAddress(plantedHttp, "WinHttpOpen")))
        << "expected the planted winhttp.dll, which lacks WinHttpOpen, got another";
    FreeLibrary(plantedHttp);

    const qvtest::LogCapture log;
    std::vector<ProxyCandidate> candidates;
    EXPECT_TRUE(detectProxySettings(nullptr, candidates, kTargets));
    for (const std::string& line : log.lines()) {
        EXPECT_EQ(std::string::npos, line.find("failed")) << line;
        EXPECT_EQ(std::string::npos, line.find("WinINet FAILED")) << line;
    }
    EXPECT_FALSE(wininetLoaded()) << "wininet.dll still loaded after detection returned";
}

TEST(WinInet, ProxyInTheRegistryBecomesCandidates) {
    const std::string dialUpName = qvtest::uniqueName("QvDialUp");
    RegistryValues settings(kInternetSettings);
    settings.setNumber("ProxyEnable", 1);
    settings.setText("ProxyServer", "proxy.test:3128");
    settings.setText("ProxyOverride", "<local>");
    const DialUpConnection dialUp(dialUpName);

    const qvtest::LogCapture log;
    std::vector<ProxyCandidate> candidates;
    EXPECT_TRUE(detectProxySettings(nullptr, candidates, kTargets));

    const std::vector<std::string> lines = log.lines();
    // WinHTTP's lines follow: the machine-wide proxy, then a script line per target if Wine's
    // settings ask for discovery, as they do by default.
    ASSERT_GE(lines.size(), 6u) << testing::PrintToString(lines);
    EXPECT_EQ("PROXY: Machine-wide: no proxy", lines[5]);
    for (std::size_t i = 6; i < lines.size(); ++i) {
        EXPECT_EQ(0u, lines[i].rfind("PROXY: Proxy script: ", 0)) << lines[i];
    }
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("PROXY: IE [5-9] Detected"))) << lines[0];
    const std::string pieces = " Proxy Server: 'proxy.test:3128' Bypass list: '<local>'";
    EXPECT_EQ("PROXY: Connection 'LAN' " + pieces, lines[1]);
    // Wine keeps no settings per connection: a dial-up answers with the LAN's.
    EXPECT_EQ("PROXY: Connection '" + dialUpName + "' " + pieces, lines[2]);
    EXPECT_EQ("PROXY: Try 'everything' proxy.test:3128", lines[3]);
    EXPECT_EQ("PROXY: Try 'everything' proxy.test:3128", lines[4]);

    ASSERT_EQ(4u, candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        SCOPED_TRACE("candidate " + std::to_string(i));
        EXPECT_EQ(MethodHttpConnect, candidates[i].method);
        EXPECT_EQ("proxy.test", candidates[i].proxyHost);
        EXPECT_EQ(3128, candidates[i].proxyPort);
        EXPECT_EQ(routes::kDetectedWriteOrder, candidates[i].writeOrder);
        EXPECT_EQ(kTargets[i % 2].host, candidates[i].targetHost);
        EXPECT_EQ(kTargets[i % 2].port, candidates[i].targetPort);
    }
}

// Wine 8 hands an IPv6 entry over without its scheme ("http=[fd00::1]:3128" as "[fd00::1]:3128",
// and of "http=[fd00::1]:3128;socks=s:1080" only that); whichever form arrives, the proxy is tried
// in brackets and recorded without them.
TEST(WinInet, Ipv6ProxyInTheRegistryBecomesACandidate) {
    RegistryValues settings(kInternetSettings);
    settings.setNumber("ProxyEnable", 1);
    settings.setText("ProxyServer", "http=[fd00::1]:3128");

    const qvtest::LogCapture log;
    std::vector<ProxyCandidate> candidates;
    EXPECT_TRUE(detectProxySettings(nullptr, candidates, kTargets));
    const std::vector<std::string> lines = log.lines();
    EXPECT_NE(lines.end(),
              std::find(lines.begin(), lines.end(), "PROXY: Try 'everything' [fd00::1]:3128"))
        << testing::PrintToString(lines);
    ASSERT_EQ(2u, candidates.size()) << testing::PrintToString(lines);
    for (const ProxyCandidate& candidate : candidates) {
        EXPECT_EQ(MethodHttpConnect, candidate.method);
        EXPECT_EQ("fd00::1", candidate.proxyHost);
        EXPECT_EQ(3128, candidate.proxyPort);
    }
}

} // namespace
