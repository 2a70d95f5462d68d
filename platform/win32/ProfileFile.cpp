#include "platform/ProfileFile.h"

#include <windows.h>

#include <limits>

namespace platform {

std::size_t getProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, char* buffer, std::size_t size,
                             const std::string& path) {
    if (size == 0) {
        return 0;
    }
    const DWORD capacity =
        size > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max() : size;
    return GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                                    capacity, path.c_str());
}

bool writeProfileString(const std::string& section, const std::optional<std::string>& key,
                        const std::optional<std::string>& value, const std::string& path) {
    return WritePrivateProfileStringA(section.c_str(), key ? key->c_str() : nullptr,
                                      value ? value->c_str() : nullptr, path.c_str()) != FALSE;
}

} // namespace platform
