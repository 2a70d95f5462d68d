#include "proxy/CTCPProxyConnector.h"

#include "log/lprintf.h"
#include "net/CCancelTimer.h"
#include "net/CCancelToken.h"
#include "net/CTCPSocket.h"
#include "proxy/CDirectMethod.h"
#include "proxy/CHttpConnectMethod.h"
#include "proxy/CSocksMethod.h"
#include "proxy/ParallelProbe.h"
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

std::unique_ptr<AProxyMethod> makeMethod(ProxyMethodCode code) {
    switch (code) {
    case MethodDirect:
        return std::make_unique<CDirectMethod>();
    case MethodHttpConnect:
        return std::make_unique<CHttpConnectMethod>();
    case MethodSocks:
        return std::make_unique<CSocksMethod>();
    default:
        return nullptr;
    }
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
    return tryOnce(targetHost, targetPort, code, proxyHost, proxyPort);
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
    saveLastGood = true;
    if (connect(targets, ModeLastGood, "", 0)) {
        return true;
    }
    return connect(targets, ModeDetected, "", 0);
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
    if (tryStored(address, port, method, proxyHost, proxyPort)) {
        return true;
    }
    lprintf("PROXY: Manual %s:%d[%d]%s:%d failed [%d]\n", address.c_str(),
            static_cast<std::uint16_t>(port), method, proxyHost.c_str(),
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
    if (tryStored(address, port, method, proxyHost, proxyPort)) {
        return RecordOutcome::Connected;
    }
    lprintf("PROXY: %s %s:%d[%d]%s:%d failed [%d]\n", record.c_str(), address.c_str(),
            static_cast<std::uint16_t>(port), method, proxyHost.c_str(),
            static_cast<std::uint16_t>(proxyPort), getLastError());
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
    saveLastGood = true;
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

bool CTCPProxyConnector::tryStored(const std::string& targetHost, std::int32_t targetPort,
                                   ProxyMethodCode code, const std::string& proxyHost,
                                   std::int32_t proxyPort) {
    CCancelToken token;
    const CCancelToken::Scope scope(token);
    const CCancelTimer deadline(token, storedTryDeadline);
    return tryOnce(targetHost, targetPort, code, proxyHost, proxyPort);
}

bool CTCPProxyConnector::tryOnce(const std::string& targetHost, std::int32_t targetPort,
                                 ProxyMethodCode code, const std::string& proxyHost,
                                 std::int32_t proxyPort) {
    setLastError(0);
    std::unique_ptr<AProxyMethod> method = makeMethod(code);
    if (!method) {
        if (isMode(code)) {
            return connect(TargetList{{targetHost, static_cast<std::uint16_t>(targetPort)}}, code,
                           proxyHost, proxyPort);
        }
        // A stored method code the connector does not know is a try that fails without an error.
        return false;
    }

    const bool direct = code == MethodDirect;
    CTCPSocket* made = nullptr;
    if (!method->connect(&made, targetHost, static_cast<std::uint16_t>(targetPort),
                         direct ? std::string() : proxyHost,
                         direct ? 0 : static_cast<std::uint16_t>(proxyPort))) {
        setLastError(method->getLastError());
        return false;
    }
    // The object goes; its handle stays open only when the attached socket has taken it over.
    const std::unique_ptr<CTCPSocket> connection(made);
    if (socket == nullptr) {
        // Nobody takes the connection over: it only proved the route, so it is not left open.
        connection->close();
    } else {
        try {
            socket->donateConnectedSocketHandle(
                connection->getHandle(), connection->getConnectedAddress(),
                connection->getConnectedPort(), targetHost, static_cast<std::uint16_t>(targetPort));
        } catch (...) {
            connection->close();
            throw;
        }
        connectedMethod = code;
    }

    if (saveLastGood) {
        store->setValue(records::kProxyMethod, std::to_string(code), records::kLastGood);
        store->setValue(records::kProxyPort, std::to_string(static_cast<std::uint16_t>(proxyPort)),
                        records::kLastGood);
        store->setValue(records::kPort, std::to_string(static_cast<std::uint16_t>(targetPort)),
                        records::kLastGood);
        store->setValue(records::kAddress, targetHost, records::kLastGood);
        store->setValue(records::kProxyHost, proxyHost, records::kLastGood);
    }
    return true;
}
