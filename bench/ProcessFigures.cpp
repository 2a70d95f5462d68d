#include "ProcessFigures.h"

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace bench {

long statusField(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, std::strlen(field), field) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return -1;
}

long openDescriptors() {
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) {
        return -1;
    }
    long count = 0;
    while (const dirent* entry = readdir(folder)) {
        count += entry->d_name[0] != '.' ? 1 : 0;
    }
    closedir(folder);
    return count - 1; // the listing's own descriptor
}

} // namespace bench
