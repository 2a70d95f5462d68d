// Facts about the running program.
#pragma once

#include <string>

namespace platform {

// The folder of the running program's executable file, ending in its path separator.
std::string programDirectory();

unsigned long processId();

} // namespace platform
