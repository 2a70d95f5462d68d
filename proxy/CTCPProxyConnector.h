// Gets a TCP connection to a target server out of a network that may need a proxy: tries single
// ways (direct, HTTP CONNECT, SOCKS) and runs modes over the records kept in a settings store
// (Manual, LastGood, the numbered Detected records), or a fresh detection and probe. Only the
// run, on the caller's thread and after every attempt has ended, hands a connection to the
// attached socket and writes LastGood.
#pragma once

#include "proxy/methods/ProxyTypes.h"
#include "proxy/methods/RouteTry.h"
#include "proxy/probe/ParallelProbe.h"

#include <chrono>
#include <cstdint>
#include <string>

class ASettingsStore;
class CTCPSocket;

class CTCPProxyConnector : public methods::RouteTrier {
public:
    // What the automatic and probe modes call to detect the system's proxies, try every candidate
    // and rewrite the Detected records. Tests put their own in its place.
    using ProbeFunction = bool (*)(CTCPProxyConnector* connector, TargetList targets,
                                   ASettingsStore* store);

    // How long one try of a stored record may take: a proxy that accepts and never answers must
    // not hold the run. A try stopped there fails with the error of a stopped probe attempt.
    static constexpr std::chrono::milliseconds kStoredTryDeadline{5000};

    // `socket` (may be null) receives the connection of a successful try; `store` holds the
    // records. Both are borrowed.
    CTCPProxyConnector(CTCPSocket* socket, ASettingsStore* store);
    ~CTCPProxyConnector() override;

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

    // A probe's single try: it only proves its route and hands nothing over.
    methods::TryOutcome tryRoute(const methods::Route& route) override;

    // The settings of a probe run for this connector: its wait, and whether the streams of the
    // attempts that connected are kept for the attached socket.
    probe::Options probeOptions() const;

    // Takes the findings of a probe that has ended: the first route that connected, in the order
    // of the Detected records, goes to the attached socket; every other stream is closed. True
    // when any route connected.
    bool takeProbeFindings(probe::Findings& findings);

    void setProbe(ProbeFunction function) { probe = function; }

    // How long the probe waits for its attempts; probe::kWaitForAll unless set.
    void setProbeWait(std::chrono::milliseconds wait) { probeWait = wait; }

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
    // A single try within the stored try's deadline.
    bool tryStored(const methods::Route& route);
    // What a single try on the caller's thread leaves: its error, and on success the stream for
    // the attached socket and, in a stored walk, the LastGood record. True when it connected.
    bool take(methods::TryOutcome& outcome, const methods::Route& route);
    // Hands an open stream to the attached socket, or closes it when there is none.
    void attach(OwnedStream& open, const methods::Route& route);
    void writeLastGood(const methods::Route& route);
    void setLastError(std::int32_t error);
    std::string readValue(const char* value, const char* defaultValue, const std::string& record);

    CTCPSocket* socket;
    ASettingsStore* store;
    ProxyMethodCode connectedMethod = MethodDirect;
    // Set while a stored mode walks its records: a record that connects becomes LastGood.
    bool saveLastGood = false;
    ProbeFunction probe;
    std::chrono::milliseconds probeWait = probe::kWaitForAll;
    std::chrono::milliseconds storedTryDeadline = kStoredTryDeadline;
};
