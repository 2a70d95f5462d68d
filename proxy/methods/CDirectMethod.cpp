#include "proxy/methods/CDirectMethod.h"

#include "platform/Socket.h"
#include "proxy/methods/OwnedStream.h"

CDirectMethod::~CDirectMethod() = default;

bool CDirectMethod::connect(CTCPSocket** socketOut, std::string targetHost,
                            std::uint16_t targetPort, std::string, std::uint16_t) {
    *socketOut = nullptr;
    OwnedStream stream;
    bool connected = false;
    try {
        connected = stream->connect(targetHost, targetPort);
    } catch (...) {
        // An unresolvable name is an ordinary failed attempt; its code is the lookup's.
        connected = false;
    }
    if (!connected) {
        lastError = platform::lastSocketError();
        return false;
    }
    *socketOut = stream.release();
    return true;
}
