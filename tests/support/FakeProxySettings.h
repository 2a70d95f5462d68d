// Proxy settings of a test's own choosing, in place of the system's.
#pragma once

#include "platform/ProxySettings.h"

#include <memory>
#include <string>
#include <vector>

namespace qvtest {

// Settings whose LAN connection names the given proxy text, or no proxy when it is empty; with a
// script, they also ask for discovery, which that script answers.
class FakeSettings : public platform::AProxySettingsSource {
public:
    explicit FakeSettings(std::string server, platform::ProxyScriptQuery script = nullptr)
        : server(std::move(server)), script(std::move(script)) {}

    platform::ProxySettingsOpen
    open(std::unique_ptr<platform::AProxySettingsSession>& session) override {
        session = std::make_unique<Session>(server, script);
        return platform::ProxySettingsOpen::Ready;
    }

private:
    class Session : public platform::AProxySettingsSession {
    public:
        Session(std::string server, platform::ProxyScriptQuery script)
            : server(std::move(server)), script(std::move(script)) {}
        std::string versionText() override { return "9.0"; }
        std::vector<std::string> dialUpConnections() override { return {}; }
        platform::ProxyQueryResult queryGlobal() override { return {}; }
        platform::ProxyQueryResult queryConnection(const std::string&) override {
            platform::ProxyQueryResult result;
            result.flags = server.empty() ? platform::kProxyTypeDirect : platform::kProxyTypeProxy;
            if (!server.empty()) {
                result.server = server;
            }
            return result;
        }
        std::optional<platform::AutomaticProxySettings> automaticSettings() override {
            if (!script) {
                return std::nullopt;
            }
            return platform::AutomaticProxySettings{true, std::nullopt};
        }
        platform::ProxyScriptQuery scriptQuery(const platform::ProxyScriptRequest&) override {
            return script;
        }

    private:
        std::string server;
        platform::ProxyScriptQuery script;
    };

    std::string server;
    platform::ProxyScriptQuery script;
};

} // namespace qvtest
