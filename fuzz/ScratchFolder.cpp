#include "ScratchFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzzing {

namespace {

constexpr const char* kMemoryFileSystem = "/dev/shm";

std::string baseFolder() {
    struct stat info {};
    if (stat(kMemoryFileSystem, &info) == 0 && S_ISDIR(info.st_mode) &&
        access(kMemoryFileSystem, W_OK) == 0) {
        return kMemoryFileSystem;
    }
    const char* temporary = std::getenv("TMPDIR");
    return temporary != nullptr && *temporary != '\0' ? temporary : "/tmp";
}

} // namespace

ScratchFolder::ScratchFolder(const char* name) {
    std::string pattern = baseFolder() + "/qv-fuzz-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch folder like " + pattern);
    }
    folder = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string ScratchFolder::writeFile(const std::string& name, const std::string& content) const {
    const std::string path = folder + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
}

} // namespace fuzzing
