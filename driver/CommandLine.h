// The target server as the command line names it: "HOST PORT" or "HOST:PORT".
#pragma once

#include "proxy/ProxyTypes.h"

#include <string>

namespace commandline {

constexpr std::size_t kMaxHostLength = 255;

// Reads the target from the command line, or from `fallback` (the target built into the program,
// in the same form) when the command line names none. Returns false with `problem` saying what
// is missing or wrong and how to pass it.
bool parseTarget(const std::string& commandLine, const std::string& fallback, TargetAddress& target,
                 std::string& problem);

} // namespace commandline
