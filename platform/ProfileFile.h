// Private profile files: the sectioned "name=value" text files of GetPrivateProfileStringA.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// Copies the value of `key` in `section` of the file at `path` into `buffer` (at most `size` - 1
// characters and a terminating zero), or `defaultValue` when the file, the section or the key is
// missing. Returns the number of characters copied.
std::size_t getProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, char* buffer, std::size_t size,
                             const std::string& path);

// Writes `key`=`value` into `section`, creating the file and the section when missing. Without a
// value the key is deleted; without a key the whole section is deleted.
bool writeProfileString(const std::string& section, const std::optional<std::string>& key,
                        const std::optional<std::string>& value, const std::string& path);

} // namespace platform
