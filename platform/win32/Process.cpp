#include "platform/Process.h"

#include <windows.h>

#include <vector>

namespace platform {

std::string programDirectory() {
    // Paths longer than MAX_PATH exist; grow the buffer until the whole path fits.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            const std::string::size_type slash = path.find_last_of('\\');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

unsigned long processId() {
    return GetCurrentProcessId();
}

} // namespace platform
