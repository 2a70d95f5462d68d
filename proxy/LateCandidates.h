// The proxies that a configuration script names join a probe that is already running: the
// script may take seconds to fetch and run, and the direct and static candidates do not wait
// for it.
#pragma once

#include "proxy/ProxySettingsDetection.h"
#include "proxy/ProxyTypes.h"

#include <chrono>
#include <cstddef>
#include <vector>

// How long the scripts may take to answer, from the moment they are asked. The script runs on
// a helper that owns all it touches, so a script that never answers costs no more than this.
constexpr std::chrono::milliseconds kScriptDeadline{5000};

// Asks every job's script at once, logs each answer, and tries the new routes they name (at
// most `freeSlots`), each on a thread of its own, until they have all ended or the calling
// thread's cancel token is cancelled; then it cancels and joins them. Runs on a probe attempt
// thread. `started` are the probe's own candidates, whose routes are only read; the routes tried
// here are appended to `late`, which the caller must not touch before this returns.
void runLateCandidates(std::vector<ProxyScriptJob> jobs, CTCPProxyConnector* connector,
                       const std::vector<ProxyCandidate>& started, std::size_t freeSlots,
                       std::vector<ProxyCandidate>& late);
