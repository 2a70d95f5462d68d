// File helpers shared by the POSIX registry and profile implementations.
#pragma once

#include <optional>
#include <string>

namespace platform::posix {

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

// Replaces the file's content as one step: the new content goes to a temporary file beside it,
// which then takes the file's name, so a full disk or a crash leaves the old content whole.
// Keeps the permissions of an existing file; a symbolic link stays and its target is replaced.
// Where the folder takes no new file, an existing writable file is written over in place. Also
// removes the temporary files that killed runs left beside it. Returns 0 or an errno value.
int replaceFile(const std::string& path, const std::string& content);

} // namespace platform::posix
