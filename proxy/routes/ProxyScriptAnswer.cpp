#include "proxy/routes/ProxyScriptAnswer.h"

#include "net/IpLiteral.h"
#include "proxy/routes/ProxyList.h"

namespace {

constexpr std::uint16_t kHttpsPort = 443;

} // namespace

std::string scriptUrlFor(const TargetAddress& target) {
    const std::string host = net::bracketed(target.host);
    if (target.port == kHttpsPort) {
        return "https://" + host + "/";
    }
    return "http://" + host + ":" + std::to_string(target.port) + "/";
}

ScriptAnswerEntries parseScriptAnswer(const std::string& answer) {
    ScriptAnswerEntries entries;
    for (const routes::ListEntry& entry : routes::readProxyList(answer)) {
        if (entry.method == MethodDirect) {
            continue;
        }
        if (!entry.method || entry.read != net::HostPortRead::Ok) {
            entries.unusable.push_back(entry.written);
            continue;
        }
        entries.proxies.push_back({*entry.method, entry.at.host, entry.at.port});
    }
    return entries;
}
