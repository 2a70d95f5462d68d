// The steps that the tunnelling methods share: open the connection to the proxy with its log
// lines, send the request, and the log lines of the attempt, all behind the method's prefix
// "PROXY: [TAG host:port]". The tunnel owns the stream until it hands it over.
#pragma once

#include "log/lprintf.h"
#include "proxy/methods/OwnedStream.h"

#include <cstdint>
#include <string>

class ProxyTunnel {
public:
    // How a method names itself in its lines, and its line for a proxy it could not reach.
    struct Wording {
        const char* tag;
        const char* connectFailed;
    };

    ProxyTunnel(const Wording& wording, const std::string& targetHost, std::uint16_t targetPort);

    // Connects to the proxy. On failure logs why, sets `error` to the socket error and returns
    // false.
    bool open(const std::string& proxyHost, std::uint16_t proxyPort, int& error);

    // Closes the connection held and opens a new one, as open does: for a proxy that closed
    // its side, or left its answer's end unknown.
    bool reopen(const std::string& proxyHost, std::uint16_t proxyPort, int& error);

    // Sends the whole request; on failure logs "error writing request" with `error`.
    bool send(const void* request, std::size_t length, int& error);

    // Logs the message behind the method's prefix and a blank, and ends the line; a format that
    // ends in a line feed of its own (the status line's) leaves an empty line after it. A stopped
    // attempt writes nothing (see attemptLog).
    void say(const char* format, ...) QV_PRINTF_FORMAT(2, 3);

    CTCPSocket& stream() const { return *owned; }

    // Hands the open stream over; the caller closes and frees it.
    CTCPSocket* release() { return owned.release(); }

private:
    Wording wording;
    std::string prefix;
    OwnedStream owned;
};
