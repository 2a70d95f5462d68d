// The HTTP CONNECT exchange with a proxy.
//
//   request:   CONNECT <host>:<port> HTTP/1.0 CR LF CR LF        (nothing else, no header fields)
//   answer:    <version> <status> <reason> CR LF ... CR LF CR LF (only the status line is read)
//
// The answer is gathered in a buffer of kBufferSize bytes (plus a terminating zero) with at most
// kMaxReads receives, until it holds kHeaderEnd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace httpconnect {

constexpr std::size_t kBufferSize = 1024;
constexpr int kMaxReads = 100;
constexpr const char* kRequestFormat = "CONNECT %s:%d HTTP/1.0\r\n\r\n";
constexpr const char* kHeaderEnd = "\r\n\r\n";
constexpr const char* kVersionPrefix = "HTTP/";
constexpr int kFirstSuccessStatus = 200;
constexpr int kLastSuccessStatus = 299;

enum class RequestProblem {
    None,
    HostBreaksTheLine, // a CR, LF or NUL would end the request line early or add lines to it
    TooLong,           // the request would not fit the buffer
};

// Formats the request into `request`, or says why it must not be sent.
RequestProblem buildRequest(const std::string& targetHost, std::uint16_t targetPort,
                            std::string& request);

// The status line as the scan "%10s%3d%[^\n]" reads it: a token of at most 10 characters, a
// number of at most 3 characters, and everything up to the first line feed. Fields the scan
// does not reach stay empty, and the status 0.
struct StatusLine {
    std::string version;
    int status = 0;
    std::string rest;
};

StatusLine scanStatusLine(const char* answer);

// The tunnel is open for an "HTTP/" version with a status from 200 to 299.
bool tunnelOpened(const StatusLine& line);

} // namespace httpconnect
