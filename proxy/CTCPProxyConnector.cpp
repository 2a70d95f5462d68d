#include "proxy/CTCPProxyConnector.h"

#include "log/lprintf.h"
#include "net/CTCPSocket.h"
#include "net/IpLiteral.h"
#include "proxy/DetectedProbe.h"
#include "proxy/StoredRecords.h"
#include "settings/ASettingsStore.h"

#include <memory>
#include <stdexcept>

namespace {

// The error of the last try of each thread, with the connector it belongs to.
struct ThreadError {
    const CTCPProxyConnector* connector = nullptr;
    std::int32_t error = 0;
};
thread_local ThreadError threadError;

// Sets a flag for a scope and clears it again on every way out.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag(flag) { flag = true; }
    ~FlagScope() { flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag;
};

methods::Route storedRoute(ProxyMethodCode method, const std::string& address, std::int32_t port,
                           const std::string& proxyHost, std::int32_t proxyPort) {
    // Records hold IPv6 addresses without brackets; one written by hand with them still counts.
    return methods::Route{method, net::withoutBrackets(address), static_cast<std::uint16_t>(port),
                          net::withoutBrackets(proxyHost), static_cast<std::uint16_t>(proxyPort)};
}

bool isMode(ProxyMethodCode code) {
    switch (code) {
    case ModeAuto:
    case ModeProbe:
    case ModeDetected:
    case ModeLastGood:
    case ModeManual:
    case ModeStored:
        return true;
    default:
        return false;
    }
}

} // namespace

CTCPProxyConnector::CTCPProxyConnector(CTCPSocket* socket, ASettingsStore* store)
    : socket(socket), store(store), probe(&probeDetected) {}

CTCPProxyConnector::~CTCPProxyConnector() = default;

std::int32_t CTCPProxyConnector::getLastError() const {
    return threadError.connector == this ? threadError.error : 0;
}

void CTCPProxyConnector::setLastError(std::int32_t error) {
    threadError.connector = this;
    threadError.error = error;
}

std::string CTCPProxyConnector::readValue(const char* value, const char* defaultValue,
                                          const std::string& record) {
    return store->getValue(value, defaultValue, record);
}

bool CTCPProxyConnector::connect(TargetList targets, ProxyMethodCode code, std::string,
                                 std::int32_t) {
    setLastError(0);
    if (socket != nullptr && socket->isConnected()) {
        throw std::runtime_error("CTCPProxyConnector::connect -- already connected");
    }
    // Records and attempts hold an IPv6 target without brackets, however the caller wrote it.
    for (TargetAddress& target : targets) {
        target.host = net::withoutBrackets(target.host);
    }
    switch (code) {
    case ModeAuto:
        return runAuto(targets);
    case ModeProbe:
        return probe(this, targets, store);
    case ModeStored:
        return runStored(targets);
    case ModeManual:
        return runManual();
    case ModeLastGood:
        return runLastGood(targets);
    case ModeDetected:
        return runDetected(targets);
    default:
        return false;
    }
}

bool CTCPProxyConnector::connect(std::string targetHost, std::int32_t targetPort,
                                 ProxyMethodCode code, std::string proxyHost,
                                 std::int32_t proxyPort) {
    setLastError(0);
    if (isMode(code)) {
        return connect(TargetList{{targetHost, static_cast<std::uint16_t>(targetPort)}}, code,
                       proxyHost, proxyPort);
    }
    const methods::Route route = storedRoute(code, targetHost, targetPort, proxyHost, proxyPort);
    methods::TryOutcome outcome = methods::tryRoute(route);
    return take(outcome, route);
}

bool CTCPProxyConnector::runAuto(const TargetList& targets) {
    if (connect(targets, ModeManual, "", 0)) {
        lprintf("PROXY: Using Manual settings\n");
        return true;
    }
    if (connect(targets, ModeLastGood, "", 0)) {
        lprintf("PROXY: Using LastGood settings\n");
        return true;
    }
    return probe(this, targets, store);
}

bool CTCPProxyConnector::runStored(const TargetList& targets) {
    if (!readValue(records::kProxyMethod, "", records::kManual).empty()) {
        return connect(targets, ModeManual, "", 0);
    }
    const FlagScope saving(saveLastGood);
    return connect(targets, ModeLastGood, "", 0) || connect(targets, ModeDetected, "", 0);
}

bool CTCPProxyConnector::runManual() {
    const std::string methodText = readValue(records::kProxyMethod, "", records::kManual);
    if (methodText.empty()) {
        lprintf("PROXY: No Manual settings\n");
        return false;
    }
    const std::int32_t method = records::readInteger(methodText);
    if (method < 0) {
        return false;
    }
    const std::int32_t proxyPort = records::readInteger(
        readValue(records::kProxyPort, records::kNumberDefault, records::kManual));
    const std::string proxyHost = readValue(records::kProxyHost, "", records::kManual);
    const std::string address = readValue(records::kAddress, "", records::kManual);
    const std::int32_t port =
        records::readInteger(readValue(records::kPort, records::kNumberDefault, records::kManual));
    if (tryStored(storedRoute(method, address, port, proxyHost, proxyPort))) {
        return true;
    }
    lprintf("PROXY: Manual %s:%d[%d]%s:%d failed [%d]\n", net::bracketed(address).c_str(),
            static_cast<std::uint16_t>(port), method, net::bracketed(proxyHost).c_str(),
            static_cast<std::uint16_t>(proxyPort), getLastError());
    return false;
}

CTCPProxyConnector::RecordOutcome CTCPProxyConnector::tryRecord(const TargetList& targets,
                                                                const std::string& record) {
    const std::string methodText = readValue(records::kProxyMethod, "", record);
    if (methodText.empty()) {
        return RecordOutcome::Absent;
    }
    const std::string address = readValue(records::kAddress, "", record);
    const std::int32_t port =
        records::readInteger(readValue(records::kPort, records::kNumberDefault, record));
    if (records::isStale(targets, address, port)) {
        lprintf("PROXY: %s setting is stale\n", record.c_str());
        store->setValue("", "", record);
        return RecordOutcome::Stale;
    }
    const std::int32_t method = records::readInteger(methodText);
    if (method < 0) {
        return RecordOutcome::NoMethod;
    }
    const std::int32_t proxyPort =
        records::readInteger(readValue(records::kProxyPort, records::kNumberDefault, record));
    const std::string proxyHost = readValue(records::kProxyHost, "", record);
    if (tryStored(storedRoute(method, address, port, proxyHost, proxyPort))) {
        return RecordOutcome::Connected;
    }
    lprintf("PROXY: %s %s:%d[%d]%s:%d failed [%d]\n", record.c_str(),
            net::bracketed(address).c_str(), static_cast<std::uint16_t>(port), method,
            net::bracketed(proxyHost).c_str(), static_cast<std::uint16_t>(proxyPort),
            getLastError());
    return RecordOutcome::Failed;
}

bool CTCPProxyConnector::runLastGood(const TargetList& targets) {
    const RecordOutcome outcome = tryRecord(targets, records::kLastGood);
    if (outcome == RecordOutcome::Absent) {
        lprintf("PROXY: No LastGood setting\n");
    }
    return outcome == RecordOutcome::Connected;
}

bool CTCPProxyConnector::runDetected(const TargetList& targets) {
    const FlagScope saving(saveLastGood);
    for (int index = 0; index < records::kMaxDetected; ++index) {
        const std::string record = records::detectedName(index);
        switch (tryRecord(targets, record)) {
        case RecordOutcome::Absent:
            lprintf("PROXY: No %s settings\n", record.c_str());
            return false;
        case RecordOutcome::NoMethod:
            return false;
        case RecordOutcome::Connected:
            return true;
        case RecordOutcome::Stale:
        case RecordOutcome::Failed:
            break;
        }
    }
    return false;
}

bool CTCPProxyConnector::tryStored(const methods::Route& route) {
    methods::TryOutcome outcome = methods::tryRoute(route, storedTryDeadline);
    return take(outcome, route);
}

bool CTCPProxyConnector::take(methods::TryOutcome& outcome, const methods::Route& route) {
    setLastError(outcome.error);
    if (!outcome.connected()) {
        return false;
    }
    attach(outcome.stream, route);
    if (saveLastGood) {
        writeLastGood(route);
    }
    return true;
}

methods::TryOutcome CTCPProxyConnector::tryRoute(const methods::Route& route) {
    return methods::tryRoute(route);
}

probe::Options CTCPProxyConnector::probeOptions() const {
    probe::Options options;
    options.wait = probeWait;
    options.keepStreams = socket != nullptr;
    return options;
}

bool CTCPProxyConnector::takeProbeFindings(probe::Findings& findings) {
    const std::vector<std::size_t> order = records::detectedOrder(findings.candidates);
    if (order.empty()) {
        return false;
    }
    const std::size_t first = order.front();
    if (first < findings.streams.size() && findings.streams[first]) {
        attach(findings.streams[first], methods::routeOf(findings.candidates[first]));
    }
    findings.streams.clear();
    return true;
}

void CTCPProxyConnector::attach(OwnedStream& open, const methods::Route& route) {
    if (socket == nullptr) {
        // Nobody takes the connection over: it only proved the route, so it is not left open.
        open = OwnedStream(nullptr);
        return;
    }
    CTCPSocket& stream = *open;
    socket->donateConnectedSocketHandle(stream.getHandle(), stream.getConnectedAddress(),
                                        stream.getConnectedPort(), route.targetHost,
                                        route.targetPort);
    socket->unread(stream.unreadBytes().data(), stream.unreadBytes().size());
    // The object goes; its handle stays open, now the attached socket's.
    delete open.release();
    connectedMethod = route.method;
}

void CTCPProxyConnector::writeLastGood(const methods::Route& route) {
    store->setValue(records::kProxyMethod, std::to_string(route.method), records::kLastGood);
    store->setValue(records::kProxyPort, std::to_string(route.proxyPort), records::kLastGood);
    store->setValue(records::kPort, std::to_string(route.targetPort), records::kLastGood);
    store->setValue(records::kAddress, route.targetHost, records::kLastGood);
    store->setValue(records::kProxyHost, route.proxyHost, records::kLastGood);
}
