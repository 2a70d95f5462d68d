// The proxies that a configuration script names join a probe that is already running: the
// script may take seconds to fetch and run, and the direct and static candidates do not wait
// for it.
#pragma once

#include "proxy/methods/ProxyTypes.h"
#include "proxy/routes/ProxySettingsDetection.h"

#include <chrono>
#include <cstddef>
#include <vector>

namespace probe {

// How long the scripts may take to answer, from the moment they are asked. The script runs on
// a helper that owns all it touches, so a script that never answers costs no more than this.
constexpr std::chrono::milliseconds kScriptDeadline{5000};

// Asks every job's script at once and waits for the answers until kScriptDeadline or `probeEnd`,
// whichever comes first. Unless the probe's time is over by then, logs each answer and what
// becomes of each proxy it names, and returns the routes not among `started`, at most
// `freeSlots`, each trying through `trier`. Runs on the probe's thread while the attempts of
// `started` run: of those only the routes are read.
std::vector<ProxyCandidate> lateCandidates(std::vector<ProxyScriptJob> jobs,
                                           methods::RouteTrier* trier,
                                           const std::vector<ProxyCandidate>& started,
                                           std::size_t freeSlots,
                                           std::chrono::steady_clock::time_point probeEnd);

} // namespace probe
