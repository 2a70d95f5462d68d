// One answer of an HTTP proxy to CONNECT: gathered until its header ends, within a buffer of a
// given size and a bounded number of receives, and judged by its status line.
#pragma once

#include "proxy/methods/ProxyTunnel.h"
#include "proxy/wire/HttpConnectWire.h"

#include <cstddef>
#include <string>
#include <vector>

class HttpAnswer {
public:
    // Reads into a fresh buffer of `limit` bytes; false, with "error reading response" logged,
    // when the proxy closed or erred first, or the buffer filled without the header's end.
    bool read(ProxyTunnel& tunnel, std::size_t limit, int& error);

    // Logs the RESPONSE line, or the line of a malformed one; the status line, not well formed
    // when it was malformed.
    httpconnect::StatusLine judge(ProxyTunnel& tunnel) const;

    // The answer up to its empty line, and what arrived beyond it (the body's start, or what a
    // target that greets first sent through the open tunnel).
    std::string header() const;
    std::string beyondHeader() const;

private:
    std::size_t headerLength() const;

    std::vector<char> text; // the bytes held and a terminating zero
    std::size_t held = 0;
};
