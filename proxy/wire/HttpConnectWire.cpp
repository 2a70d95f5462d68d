#include "proxy/wire/HttpConnectWire.h"

#include "log/LogText.h"
#include "net/IpLiteral.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace httpconnect {

namespace {

// "HTTP/" and a version of a digit, a dot and a digit.
constexpr std::size_t kVersionLength = 8;
constexpr std::size_t kStatusDigits = 3;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A blank, or the end of the line: a line feed, a carriage return before one, or no more text.
bool endsStatus(const char* after) {
    return *after == ' ' || *after == '\n' || *after == '\0' ||
           (after[0] == '\r' && after[1] == '\n');
}

} // namespace

RequestProblem buildRequest(const std::string& targetHost, std::uint16_t targetPort,
                            std::string& request) {
    if (breaksTheLine(targetHost)) {
        return RequestProblem::HostBreaksTheLine;
    }
    char buffer[kBufferSize];
    const int length = std::snprintf(buffer, sizeof buffer, kRequestFormat,
                                     net::bracketed(targetHost).c_str(), targetPort);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return RequestProblem::TooLong;
    }
    request.assign(buffer, static_cast<std::size_t>(length));
    return RequestProblem::None;
}

StatusLine scanStatusLine(const char* answer) {
    StatusLine line;
    const std::size_t prefixLength = std::strlen(kVersionPrefix);
    if (std::strncmp(answer, kVersionPrefix, prefixLength) != 0 || !isDigit(answer[prefixLength]) ||
        answer[prefixLength + 1] != '.' || !isDigit(answer[prefixLength + 2]) ||
        answer[kVersionLength] != ' ') {
        return line;
    }
    const char* digits = answer + kVersionLength + 1;
    for (std::size_t i = 0; i < kStatusDigits; ++i) {
        if (!isDigit(digits[i])) {
            return line;
        }
    }
    const char* rest = digits + kStatusDigits;
    if (!endsStatus(rest)) {
        return line;
    }
    line.wellFormed = true;
    line.version.assign(answer, kVersionLength);
    line.status = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
    line.rest.assign(rest, std::min(std::strcspn(rest, "\n"), kBufferSize));
    return line;
}

bool tunnelOpened(const StatusLine& line) {
    return line.wellFormed && line.status >= kFirstSuccessStatus &&
           line.status <= kLastSuccessStatus;
}

std::string firstLine(const char* answer) {
    std::string line(answer, std::min(std::strcspn(answer, "\n"), kBufferSize));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

} // namespace httpconnect
