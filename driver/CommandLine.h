// The target server as the command line names it: "HOST PORT" or "HOST:PORT", either followed by
// how many seconds the probe may wait ("HOST PORT WAIT", "HOST:PORT WAIT").
#pragma once

#include "proxy/methods/ProxyTypes.h"

#include <chrono>
#include <string>

namespace commandline {

constexpr std::size_t kMaxHostLength = 255;
// An installer may shorten the probe's wait, never lengthen it: the run's bound stays.
constexpr std::chrono::seconds kMinProbeWait{1};
constexpr std::chrono::seconds kMaxProbeWait{20};

// Reads the target and the probe's wait from the command line, or from `fallback` (the target
// built into the program, in the same form) when the command line names none. Without a wait,
// `probeWait` is kMaxProbeWait. Returns false with `problem` saying what is missing or wrong and
// how to pass it; then neither output is changed.
bool parseTarget(const std::string& commandLine, const std::string& fallback, TargetAddress& target,
                 std::chrono::milliseconds& probeWait, std::string& problem);

} // namespace commandline
