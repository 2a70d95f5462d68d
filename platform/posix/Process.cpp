#include "platform/Process.h"

#include <unistd.h>

#include <vector>

namespace platform {

std::string programDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            const std::string::size_type slash = path.find_last_of('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

unsigned long processId() {
    return static_cast<unsigned long>(getpid());
}

void restrictLibrarySearch() {}

} // namespace platform
