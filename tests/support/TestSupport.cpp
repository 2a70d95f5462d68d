#include "TestSupport.h"

#include "platform/Process.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace qvtest {

// Wine hands out the ids of ended processes again while its server runs, so a name made of the
// id alone can meet a registry key that an earlier test process left in the same prefix.
std::string uniqueName(const std::string& base) {
    static const unsigned tag = std::random_device{}();
    static std::atomic<int> counter{0};
    return base + "-" + std::to_string(platform::processId()) + "-" + std::to_string(tag) + "-" +
           std::to_string(++counter);
}

std::string freshDirectory(const std::string& base) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / uniqueName("qvtest-" + base);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path.string();
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string thrownMessage(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

std::string testKeyPath(const std::string& base) {
    return "Software\\QvTests\\" + uniqueName(base);
}

std::optional<std::size_t> openHandleCount() {
#ifdef _WIN32
    return std::nullopt;
#else
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd");
         it != std::filesystem::directory_iterator(); ++it) {
        ++count;
    }
    return count;
#endif
}

std::string hostPath(const std::string& unixPath) {
#ifdef _WIN32
    return "Z:" + unixPath;
#else
    return unixPath;
#endif
}

} // namespace qvtest
