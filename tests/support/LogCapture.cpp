#include "LogCapture.h"

#include "TestSupport.h"

#include "log/lprintf.h"

#include <algorithm>
#include <sstream>

namespace qvtest {

LogCapture::LogCapture() : path(freshDirectory("log") + "/capture.log") {
    lprintf_start(path.c_str(), "", "", 0);
}

LogCapture::~LogCapture() {
    lprintf_start(nullptr, nullptr, nullptr, 0);
}

std::vector<std::string> LogCapture::lines() const {
    std::vector<std::string> result;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);) {
        // A prefix ends in " pid <number>>"; continuation lines have none.
        const std::string::size_type pid = line.find(" pid ");
        const std::string::size_type end = pid == std::string::npos ? pid : line.find('>', pid);
        result.push_back(end == std::string::npos ? line : line.substr(end + 1));
    }
    return result;
}

bool LogCapture::has(const std::string& line) const {
    const std::vector<std::string> all = lines();
    return std::find(all.begin(), all.end(), line) != all.end();
}

std::vector<std::string> LogCapture::linesStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& line : lines()) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            matching.push_back(line);
        }
    }
    return matching;
}

} // namespace qvtest
