// Proxy settings of a test's own choosing, in place of the system's.
#pragma once

#include "platform/ProxySettings.h"

#include <memory>
#include <string>
#include <vector>

namespace qvtest {

// Settings whose LAN connection names the given proxy text, or no proxy when it is empty.
class FakeSettings : public platform::AProxySettingsSource {
public:
    explicit FakeSettings(std::string server) : server(std::move(server)) {}

    platform::ProxySettingsOpen
    open(std::unique_ptr<platform::AProxySettingsSession>& session) override {
        session = std::make_unique<Session>(server);
        return platform::ProxySettingsOpen::Ready;
    }

private:
    class Session : public platform::AProxySettingsSession {
    public:
        explicit Session(std::string server) : server(std::move(server)) {}
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

    private:
        std::string server;
    };

    std::string server;
};

} // namespace qvtest
