// Proxy settings that name one proxy per connection: the first text is the LAN's, every further
// one a dial-up connection's, so the probe gets one candidate per text.
#pragma once

#include "platform/ProxySettings.h"

#include <memory>
#include <string>
#include <vector>

namespace bench {

class ProxyListSettings : public platform::AProxySettingsSource {
public:
    explicit ProxyListSettings(std::vector<std::string> serverTexts)
        : texts(std::move(serverTexts)) {}

    platform::ProxySettingsOpen
    open(std::unique_ptr<platform::AProxySettingsSession>& session) override {
        session = std::make_unique<Session>(texts);
        return platform::ProxySettingsOpen::Ready;
    }

private:
    class Session : public platform::AProxySettingsSession {
    public:
        explicit Session(const std::vector<std::string>& texts) : texts(texts) {}
        std::string versionText() override { return "9.0"; }
        std::vector<std::string> dialUpConnections() override {
            std::vector<std::string> names;
            for (std::size_t i = 1; i < texts.size(); ++i) {
                names.push_back(std::to_string(i));
            }
            return names;
        }
        platform::ProxyQueryResult queryGlobal() override { return {}; }
        platform::ProxyQueryResult queryConnection(const std::string& name) override {
            platform::ProxyQueryResult result;
            result.flags = platform::kProxyTypeProxy;
            result.server = texts.at(name.empty() ? 0 : std::stoul(name));
            return result;
        }

    private:
        const std::vector<std::string>& texts;
    };

    std::vector<std::string> texts;
};

} // namespace bench
