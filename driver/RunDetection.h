// The whole run of the detection program, from the log's start to the exit code.
#pragma once

#include <string>

constexpr int kExitReached = 0;
constexpr int kExitNotReached = -3;

// `commandLine` is the text behind the program's own name. Returns kExitReached when some way
// reached the target server, else kExitNotReached.
int runDetection(const std::string& commandLine);
