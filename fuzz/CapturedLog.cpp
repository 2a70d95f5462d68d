#include "CapturedLog.h"

#include "Property.h"

#include "log/lprintf.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <unistd.h>

namespace fuzzing {

namespace {

constexpr const char* kLogName = "fuzz.log";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

// "HH:MM:SS <ms since the last line> pid <process id>>", as the writer starts a line without a
// date, tag or extra text.
std::regex prefixPattern() {
    return std::regex("^[ 0-9][0-9]:[0-9]{2}:[0-9]{2} +-?[0-9]+ pid +" + std::to_string(getpid()) +
                      ">");
}

} // namespace

CapturedLog::CapturedLog(const ScratchFolder& folder) : path(folder.path() + "/" + kLogName) {
    std::remove(path.c_str());
    lprintf_start(path.c_str(), "", "", 0);
}

CapturedLog::~CapturedLog() {
    lprintf_start(nullptr, nullptr, nullptr, 0);
}

std::string CapturedLog::text() const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CapturedLog::requireWholeLines() const {
    static const std::regex prefix = prefixPattern();
    const std::string all = text();
    for (const char c : all) {
        const auto byte = static_cast<unsigned char>(c);
        require(c == '\n' || (byte >= kFirstPrintable && byte != kDelete),
                "no control character in the log but its line feeds", all);
    }
    std::string::size_type start = 0;
    while (start < all.size()) {
        std::string::size_type end = all.find('\n', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        const std::string line = all.substr(start, end - start);
        require(std::regex_search(line, prefix), "every log line behind the writer's prefix", line);
        start = end + 1;
    }
}

void CapturedLog::requireAbsent(const std::string& secret) const {
    const std::string all = text();
    require(all.find(secret) == std::string::npos, "no credentials in the log", all);
}

} // namespace fuzzing
