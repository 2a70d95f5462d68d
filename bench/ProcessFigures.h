// Figures of this process that the benchmarks print, read from /proc.
#pragma once

namespace bench {

// A number field of /proc/self/status ("Threads:", "VmHWM:"), or -1 when it is missing.
long statusField(const char* field);

// The open file descriptors of this process.
long openDescriptors();

} // namespace bench
