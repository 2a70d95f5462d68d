// Reads an answer's body off the connection so that the connection can carry the next request:
// by its Content-Length, or chunk by chunk (RFC 9112, 7.1) up to its last chunk and trailers.
//
//   chunked:  <hex size>[;extensions] CR LF <size bytes> CR LF ... 0 CR LF [trailers] CR LF
#pragma once

#include "proxy/wire/ProxyAuthWire.h"

#include <cstddef>
#include <string>

namespace proxyauth {

class HttpBodyReader {
public:
    // `framing` must not be Body::UntilClose: such a body ends only with the connection.
    explicit HttpBodyReader(const Framing& framing);

    // Takes bytes that arrived; returns how many belong to the body (the rest would be the next
    // answer). A malformed chunked body or one over kMaxBodyBytes makes failed() true.
    std::size_t take(const char* data, std::size_t length);

    bool done() const { return state == State::Done; }
    bool failed() const { return state == State::Failed; }

private:
    enum class State { Data, SizeLine, DataEnd, Trailer, Done, Failed };

    bool endLine(const std::string& line);

    bool chunked;
    State state;
    std::size_t remaining; // bytes left of the body or of the current chunk
    std::size_t total = 0;
    std::string line; // a size, data-end or trailer line gathered so far
};

} // namespace proxyauth
