// Gets a TCP connection to a target server out of a network that may need a proxy: tries single
// ways (direct, HTTP CONNECT, SOCKS) and runs modes over the records kept in a settings store
// (Manual, LastGood, the numbered Detected records), or a fresh detection and probe.
#pragma once

#include "proxy/ParallelProbe.h"
#include "proxy/ProxyTypes.h"

#include <chrono>
#include <cstdint>
#include <string>

class ASettingsStore;
class CTCPSocket;

class CTCPProxyConnector {
public:
    // What the automatic and probe modes call to detect the system's proxies, try every candidate
    // and rewrite the Detected records. Tests put their own in its place.
    using ProbeFunction = bool (*)(CTCPProxyConnector* connector, TargetList targets,
                                   ASettingsStore* store);

    // How long one try of a stored record may take: a proxy that accepts and never answers must
    // not hold the run. A try stopped there fails with the error of a stopped probe attempt.
    static constexpr std::chrono::milliseconds kStoredTryDeadline = probe::kWaitForAll;

    // `socket` (may be null) receives the connection of a successful try; `store` holds the
    // records. Both are borrowed.
    CTCPProxyConnector(CTCPSocket* socket, ASettingsStore* store);
    virtual ~CTCPProxyConnector();

    CTCPProxyConnector(const CTCPProxyConnector&) = delete;
    CTCPProxyConnector& operator=(const CTCPProxyConnector&) = delete;

    // Runs the mode named by `code` over the targets; any other code returns false at once. Throws
    // std::runtime_error when the attached socket is already connected.
    bool connect(TargetList targets, ProxyMethodCode code, std::string proxyHost,
                 std::int32_t proxyPort);

    // One try with a method code; with a mode code, that mode for this one target.
    bool connect(std::string targetHost, std::int32_t targetPort, ProxyMethodCode code,
                 std::string proxyHost, std::int32_t proxyPort);

    // The error of the last failed try made on the calling thread with this connector: tries run
    // on many threads at once, and each must read its own.
    std::int32_t getLastError() const;

    ProxyMethodCode getConnectedMethod() const { return connectedMethod; }

    void setProbe(ProbeFunction function) { probe = function; }

    // Replaces kStoredTryDeadline, for tests that must not wait that long.
    void setStoredTryDeadline(std::chrono::milliseconds deadline) { storedTryDeadline = deadline; }

private:
    bool runAuto(const TargetList& targets);
    bool runStored(const TargetList& targets);
    bool runManual();
    bool runLastGood(const TargetList& targets);
    bool runDetected(const TargetList& targets);

    // What became of one stored LastGood or Detected record: the two walk them alike.
    enum class RecordOutcome { Absent, Stale, NoMethod, Failed, Connected };
    RecordOutcome tryRecord(const TargetList& targets, const std::string& record);
    // tryOnce within the stored try's deadline.
    bool tryStored(const std::string& targetHost, std::int32_t targetPort, ProxyMethodCode code,
                   const std::string& proxyHost, std::int32_t proxyPort);
    bool tryOnce(const std::string& targetHost, std::int32_t targetPort, ProxyMethodCode code,
                 const std::string& proxyHost, std::int32_t proxyPort);
    void setLastError(std::int32_t error);
    std::string readValue(const char* value, const char* defaultValue, const std::string& record);

    CTCPSocket* socket;
    ASettingsStore* store;
    ProxyMethodCode connectedMethod = MethodDirect;
    bool saveLastGood = false;
    ProbeFunction probe;
    std::chrono::milliseconds storedTryDeadline = kStoredTryDeadline;
};
