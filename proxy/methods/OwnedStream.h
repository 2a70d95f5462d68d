// The stream of one attempt while the attempt owns it: made not to close its handle on
// destruction, as the caller who takes it over expects, and closed and freed here on every path
// unless handed over.
#pragma once

#include "net/CTCPSocket.h"

#include <memory>

class OwnedStream {
public:
    OwnedStream() : stream(new CTCPSocket(false)) {}
    // Takes over an open stream, or holds none when `adopted` is null.
    explicit OwnedStream(CTCPSocket* adopted) : stream(adopted) {}
    ~OwnedStream() { closeHeld(); }
    OwnedStream(OwnedStream&& other) noexcept = default;
    OwnedStream& operator=(OwnedStream&& other) noexcept {
        closeHeld();
        stream = std::move(other.stream);
        return *this;
    }
    OwnedStream(const OwnedStream&) = delete;
    OwnedStream& operator=(const OwnedStream&) = delete;

    explicit operator bool() const { return stream != nullptr; }
    CTCPSocket& operator*() const { return *stream; }
    CTCPSocket* operator->() const { return stream.get(); }

    // Hands the open stream over; the caller closes and frees it.
    CTCPSocket* release() { return stream.release(); }

private:
    void closeHeld() {
        if (stream) {
            stream->close();
        }
    }

    std::unique_ptr<CTCPSocket> stream;
};
