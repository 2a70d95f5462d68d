// The HTTP CONNECT exchange with a proxy.
//
//   request:   CONNECT <host>:<port> HTTP/1.0 CR LF CR LF        (nothing else, no header fields;
//                                                                 an IPv6 <host> in brackets)
//   answer:    <version> <status> <reason> CR LF ... CR LF CR LF (only the status line is read)
//   status line:  HTTP/d.d SP ddd [SP reason] CR LF                 (anything else is malformed)
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

// The status line of an answer, read strictly: "HTTP/", a version of a digit, a dot and a digit,
// one blank, exactly three digits, then a blank or the end of the line. The rest is everything
// after the digits up to the first line feed, cut to kBufferSize characters. A line of any other
// form is not well formed; its fields stay empty and its status 0.
struct StatusLine {
    bool wellFormed = false;
    std::string version;
    int status = 0;
    std::string rest;
};

StatusLine scanStatusLine(const char* answer);

// The tunnel is open for a well-formed status line with a status from 200 to 299.
bool tunnelOpened(const StatusLine& line);

// The answer's first line, without its line end, cut to kBufferSize characters: what a log line
// shows of an answer that is not well formed.
std::string firstLine(const char* answer);

} // namespace httpconnect
