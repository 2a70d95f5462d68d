// Detection over settings that the input makes up: the version text, the dial-up connections,
// and per query its error, flags, proxy server text and bypass list, as WinINet would answer;
// then the one reader of proxy lists over a list the rest of the input makes up.
//
// Input (libFuzzer's FuzzedDataProvider): texts from the front, each ended by a backslash and one
// more byte; numbers from the back.
#include "CapturedLog.h"
#include "Property.h"
#include "ScratchFolder.h"

#include "net/IpLiteral.h"
#include "platform/ProxySettings.h"
#include "proxy/routes/ProxyList.h"
#include "proxy/routes/ProxySettingsDetection.h"
#include "proxy/routes/WriteOrder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using fuzzing::require;

constexpr std::size_t kMaxText = 256;
constexpr int kMaxDialUps = 3;
constexpr int kMaxTargets = 3;
constexpr int kFailOneIn = 8;

std::optional<std::string> maybeText(FuzzedDataProvider& input) {
    if (!input.ConsumeBool()) {
        return std::nullopt;
    }
    return input.ConsumeRandomLengthString(kMaxText);
}

platform::ProxyQueryResult answer(FuzzedDataProvider& input) {
    platform::ProxyQueryResult result;
    if (input.ConsumeIntegralInRange(1, kFailOneIn) == 1) {
        result.error = input.ConsumeIntegral<std::int32_t>();
        return result;
    }
    result.flags = input.ConsumeIntegral<std::uint32_t>();
    result.server = maybeText(input);
    result.bypass = maybeText(input);
    if (input.ConsumeBool()) {
        result.unusable.push_back({"all_proxy", input.ConsumeRandomLengthString(kMaxText)});
    }
    return result;
}

class FuzzedSession : public platform::ProxySettingsSession {
public:
    explicit FuzzedSession(FuzzedDataProvider& input) : input(input) {}
    std::string versionText() override { return input.ConsumeRandomLengthString(kMaxText); }
    std::vector<std::string> dialUpConnections() override {
        std::vector<std::string> names(input.ConsumeIntegralInRange(0, kMaxDialUps));
        for (std::string& name : names) {
            name = input.ConsumeRandomLengthString(kMaxText);
        }
        return names;
    }
    platform::ProxyQueryResult queryGlobal() override { return answer(input); }
    platform::ProxyQueryResult queryConnection(const std::string&) override {
        return answer(input);
    }

private:
    FuzzedDataProvider& input;
};

class FuzzedSource : public platform::ProxySettingsSource {
public:
    explicit FuzzedSource(FuzzedDataProvider& input) : input(input) {}
    platform::ProxySettingsOpen
    open(std::unique_ptr<platform::ProxySettingsSession>& session) override {
        const auto outcome = input.PickValueInArray(
            {platform::ProxySettingsOpen::Ready, platform::ProxySettingsOpen::Ready,
             platform::ProxySettingsOpen::NoLibrary, platform::ProxySettingsOpen::NoQueryFunction});
        if (outcome == platform::ProxySettingsOpen::Ready) {
            session = std::make_unique<FuzzedSession>(input);
        }
        return outcome;
    }

private:
    FuzzedDataProvider& input;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzing::ScratchFolder folder("settings");
    FuzzedDataProvider input(data, size);
    TargetList targets(input.ConsumeIntegralInRange(1, kMaxTargets));
    for (TargetAddress& target : targets) {
        target.host = "target.example";
        target.port = input.ConsumeIntegral<std::uint16_t>();
    }

    std::vector<ProxyCandidate> candidates;
    bool ok;
    {
        const fuzzing::CapturedLog log(folder);
        FuzzedSource source(input);
        ok = detectProxySettings(nullptr, candidates, targets, source);
        log.requireWholeLines();
    }
    require(ok || candidates.empty(), "no candidate after a failed query");
    require(candidates.size() % targets.size() == 0, "every proxy tried for every target");
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const ProxyCandidate& candidate = candidates[i];
        require(candidate.method == MethodHttpConnect || candidate.method == MethodSocks ||
                    candidate.method == MethodSocks5,
                "a CONNECT, SOCKS or SOCKS 5 candidate", std::to_string(candidate.method));
        require(candidate.writeOrder ==
                    routes::writeOrderOf(candidate.method, routes::kDetectedWriteOrder),
                "the detection's write pass, or SOCKS 5's");
        require(candidate.targetHost == targets[i % targets.size()].host &&
                    candidate.targetPort == targets[i % targets.size()].port,
                "the targets in their order");
    }

    // A list of the input's making, with user information of its own in some entries.
    const std::string list = input.ConsumeRemainingBytesAsString();
    const std::string shown = routes::listWithoutUserInfo(list);
    require(shown.find('@') == std::string::npos, "a shown list without user information", shown);
    for (const routes::ListEntry& entry : routes::readProxyList(list)) {
        require(entry.written.find('@') == std::string::npos,
                "an entry shown without user information", entry.written);
        if (entry.read != net::HostPortRead::Ok) {
            continue;
        }
        const std::string& host = entry.at.host;
        require(!host.empty() && host.find_first_of(" \t\r\n;@/[]") == std::string::npos,
                "a host without blank, separator, '@', '/' or brackets", host);
        require(host.find(':') == std::string::npos || net::ipv6Literal(host).has_value(),
                "a host with colons only when it is an IPv6 address", host);
        require(entry.at.port != 0, "a port from 1 to 65535");
        require(shown.find(net::bracketed(host)) != std::string::npos,
                "a host that the shown list names", host);
    }
    return 0;
}
