// A log file of the test's own, read back as its messages without the line prefixes.
#pragma once

#include "TestSupport.h"

#include "driver/lprintf.h"

#include <sstream>
#include <string>
#include <vector>

namespace qvtest {

class DetectionLog {
public:
    DetectionLog() : path(freshDirectory("detect") + "/qvproxydetect.log") {
        lprintf_start(path.c_str(), "PRXY", nullptr, 0);
    }
    ~DetectionLog() { lprintf_start(nullptr, nullptr, nullptr, 0); }
    DetectionLog(const DetectionLog&) = delete;
    DetectionLog& operator=(const DetectionLog&) = delete;

    // Every line after "log started", each cut after the prefix's closing '>'.
    std::vector<std::string> messages() const {
        std::vector<std::string> lines;
        std::istringstream in(readText(path));
        for (std::string line; std::getline(in, line);) {
            const std::string::size_type end = line.find('>');
            lines.push_back(end == std::string::npos ? line : line.substr(end + 1));
        }
        if (!lines.empty() && lines.front() == "log started") {
            lines.erase(lines.begin());
        }
        return lines;
    }

private:
    std::string path;
};

} // namespace qvtest
