#include "proxy/DetectedProbe.h"

#include "platform/ProxySettings.h"
#include "proxy/CTCPProxyConnector.h"
#include "proxy/StoredRecords.h"
#include "proxy/probe/ParallelProbe.h"

bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store) {
    return probeDetected(connector, std::move(targets), store, platform::systemProxySettings());
}

bool probeDetected(CTCPProxyConnector* connector, TargetList targets, ASettingsStore* store,
                   platform::ProxySettingsSource& settings) {
    probe::Findings findings = probe::run(*connector, targets, settings, connector->probeOptions());
    records::writeDetected(findings.candidates, *store);
    return connector->takeProbeFindings(findings);
}
