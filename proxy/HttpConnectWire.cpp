#include "proxy/HttpConnectWire.h"

#include <cstdio>
#include <cstring>

namespace httpconnect {

namespace {

// Widths of the status-line fields; the rest of the line can be no longer than the answer.
constexpr std::size_t kVersionWidth = 10;
constexpr std::size_t kRestWidth = kBufferSize;
constexpr const char* kStatusScan = "%10s%3d%1024[^\n]";
static_assert(kRestWidth == 1024, "the scan's width for the rest of the line is kBufferSize");

} // namespace

RequestProblem buildRequest(const std::string& targetHost, std::uint16_t targetPort,
                            std::string& request) {
    if (targetHost.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        return RequestProblem::HostBreaksTheLine;
    }
    char buffer[kBufferSize];
    const int length =
        std::snprintf(buffer, sizeof buffer, kRequestFormat, targetHost.c_str(), targetPort);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return RequestProblem::TooLong;
    }
    request.assign(buffer, static_cast<std::size_t>(length));
    return RequestProblem::None;
}

StatusLine scanStatusLine(const char* answer) {
    char version[kVersionWidth + 1] = "";
    char rest[kRestWidth + 1] = "";
    int status = 0;
    std::sscanf(answer, kStatusScan, version, &status, rest);
    StatusLine line;
    line.version = version;
    line.status = status;
    line.rest = rest;
    return line;
}

bool tunnelOpened(const StatusLine& line) {
    return line.version.compare(0, std::strlen(kVersionPrefix), kVersionPrefix) == 0 &&
           line.status >= kFirstSuccessStatus && line.status <= kLastSuccessStatus;
}

} // namespace httpconnect
