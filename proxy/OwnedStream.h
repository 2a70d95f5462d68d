// The stream of one attempt while the attempt owns it: made not to close its handle on
// destruction, as the caller who takes it over expects, and closed and freed here on every path
// unless handed over.
#pragma once

#include "net/CTCPSocket.h"

#include <memory>

class OwnedStream {
public:
    OwnedStream() : stream(new CTCPSocket(false)) {}
    ~OwnedStream() {
        if (stream) {
            stream->close();
        }
    }
    OwnedStream(const OwnedStream&) = delete;
    OwnedStream& operator=(const OwnedStream&) = delete;

    CTCPSocket& operator*() const { return *stream; }
    CTCPSocket* operator->() const { return stream.get(); }

    // Hands the open stream over; the caller closes and frees it.
    CTCPSocket* release() { return stream.release(); }

private:
    std::unique_ptr<CTCPSocket> stream;
};
