// Proxy settings of a test's own choosing, in place of the system's: the one stand-in for the
// settings source that tests and benchmarks share. The count of live sessions tells whether the
// settings library was released.
#pragma once

#include "platform/ProxySettings.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

struct FakeSettings : platform::ProxySettingsSource {
    using ScriptRunner =
        std::function<platform::ProxyScriptQuery(const platform::ProxyScriptRequest&)>;

    FakeSettings() = default;

    // Settings whose LAN connection names the given proxy text, or no proxy when it is empty;
    // with a script, they also ask for discovery, which that script answers.
    explicit FakeSettings(const std::string& server, platform::ProxyScriptQuery script = nullptr)
        : version("9.0") {
        connections[""].flags =
            server.empty() ? platform::kProxyTypeDirect : platform::kProxyTypeProxy;
        if (!server.empty()) {
            connections[""].server = server;
        }
        if (script) {
            automatic = platform::AutomaticProxySettings{true, std::nullopt};
            scripts = [script](const platform::ProxyScriptRequest&) { return script; };
        }
    }

    // One proxy text per connection: the first the LAN's, every further one a dial-up's.
    static FakeSettings listing(const std::vector<std::string>& texts) {
        FakeSettings settings;
        settings.version = "9.0";
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::string name = i == 0 ? std::string() : std::to_string(i);
            if (i > 0) {
                settings.dialUps.push_back(name);
            }
            settings.connections[name].flags = platform::kProxyTypeProxy;
            settings.connections[name].server = texts[i];
        }
        return settings;
    }

    platform::ProxySettingsOpen openResult = platform::ProxySettingsOpen::Ready;
    std::string version;
    std::vector<std::string> dialUps;
    platform::ProxyQueryResult global;
    std::map<std::string, platform::ProxyQueryResult> connections; // "" is the LAN
    std::optional<platform::AutomaticProxySettings> automatic;
    std::optional<platform::ProxyQueryResult> machineWide;
    ScriptRunner scripts; // none: no script can be run here

    int liveSessions = 0;

    class Session : public platform::ProxySettingsSession {
    public:
        explicit Session(FakeSettings& settings) : settings(settings) { ++settings.liveSessions; }
        ~Session() override { --settings.liveSessions; }
        std::string versionText() override { return settings.version; }
        std::vector<std::string> dialUpConnections() override { return settings.dialUps; }
        platform::ProxyQueryResult queryGlobal() override { return settings.global; }
        platform::ProxyQueryResult queryConnection(const std::string& name) override {
            return settings.connections.at(name);
        }
        std::optional<platform::AutomaticProxySettings> automaticSettings() override {
            return settings.automatic;
        }
        std::optional<platform::ProxyQueryResult> queryMachineWide() override {
            return settings.machineWide;
        }
        platform::ProxyScriptQuery
        scriptQuery(const platform::ProxyScriptRequest& request) override {
            return settings.scripts ? settings.scripts(request) : nullptr;
        }

    private:
        FakeSettings& settings;
    };

    platform::ProxySettingsOpen
    open(std::unique_ptr<platform::ProxySettingsSession>& session) override {
        if (openResult == platform::ProxySettingsOpen::Ready) {
            session = std::make_unique<Session>(*this);
        }
        return openResult;
    }
};

} // namespace qvtest
