#include "driver/RunDetection.h"

#include "driver/CommandLine.h"
#include "log/lprintf.h"
#include "net/ASocket.h"
#include "platform/Registry.h"
#include "proxy/CTCPProxyConnector.h"
#include "settings/CIniSettingsStore.h"
#include "settings/CLayeredSettingsStore.h"
#include "settings/CRegistrySettingsStore.h"

#include <chrono>

#ifndef QV_DEFAULT_TARGET
#define QV_DEFAULT_TARGET ""
#endif

namespace {

constexpr const char* kLogFile = "qvproxydetect.log";
constexpr const char* kLogTag = "PRXY";
constexpr const char* kKeyPath = "Software\\Quorvane\\Connection";
constexpr const char* kSettingsFile = "qvproxy.ini";
// Every line of the log carries the date, so that a log appended to over days stays readable.
constexpr int kLogWithDate = 1;

// The verdict is the log's last line, which installers read.
int verdict(bool reached) {
    if (reached) {
        lprintf("PROXY DETECTED OK\n");
        return kExitReached;
    }
    lprintf("PROXY DETECTION FAILED\n");
    return kExitNotReached;
}

// A registry store that another user could have planted is not used (it reads as unopened);
// the log says why.
void logRefusedStores() {
    for (const platform::RegKey root : {platform::regCurrentUser(), platform::regLocalMachine()}) {
        const std::string refusal = platform::regRefusal(root, kKeyPath);
        if (!refusal.empty()) {
            lprintf("PROXY: Registry not used: %s\n", refusal.c_str());
        }
    }
}

} // namespace

int runDetection(const std::string& commandLine) {
    lprintf_start(kLogFile, kLogTag, "", kLogWithDate);
    lprintf("CmdLine: %s\n", commandLine.c_str());

    TargetAddress target;
    std::chrono::milliseconds probeWait{};
    std::string problem;
    if (!commandline::parseTarget(commandLine, QV_DEFAULT_TARGET, target, probeWait, problem)) {
        lprintf("PROXY: %s\n", problem.c_str());
        return verdict(false);
    }

    // The outer store reads the per-user key, the machine key and the file, in that order, and
    // mirrors between the registry and the file.
    CRegistrySettingsStore machine(platform::regLocalMachine(), kKeyPath, /*createMissing=*/false);
    CRegistrySettingsStore user(platform::regCurrentUser(), kKeyPath, /*createMissing=*/true);
    logRefusedStores();
    CLayeredSettingsStore registry(user, machine, /*mirror=*/false);
    CIniSettingsStore file("", kSettingsFile);
    CLayeredSettingsStore outer(registry, file, /*mirror=*/true);
    CTCPProxyConnector connector(nullptr, &outer);
    connector.setProbeWait(probeWait);

    startNetwork();
    const TargetList targets{target};
    const bool reached = connector.connect(targets, ModeAuto, "", 0);
    const int exitCode = verdict(reached);
    stopNetwork();
    return exitCode;
}
