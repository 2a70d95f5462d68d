// Facts about the running program.
#pragma once

#include <string>

namespace platform {

// The folder of the running program's executable file, ending in its path separator.
std::string programDirectory();

unsigned long processId();

// Makes the system look for the DLLs this process loads by bare name (its own and those that
// system libraries load later) in the system folder only, never beside the program or in the
// current folder, where anyone may have dropped one. A system too old to offer that keeps its
// search order. Call before anything else; nothing to do on POSIX.
void restrictLibrarySearch();

} // namespace platform
