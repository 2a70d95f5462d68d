// Sends the log to a file of the test's own and reads back what was written, without prefixes.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every line written since the capture began, each without its prefix.
    std::vector<std::string> lines() const;

    // Whether some line equals `line`.
    bool has(const std::string& line) const;

    // Lines that begin with `prefix`.
    std::vector<std::string> linesStartingWith(const std::string& prefix) const;

private:
    std::string path;
};

} // namespace qvtest
