#include "proxy/CDirectMethod.h"

#include "net/CTCPSocket.h"
#include "platform/Socket.h"

CDirectMethod::~CDirectMethod() = default;

bool CDirectMethod::connect(CTCPSocket** socketOut, std::string targetHost,
                            std::uint16_t targetPort, std::string, std::uint16_t) {
    *socketOut = new CTCPSocket(false);
    bool connected = false;
    try {
        connected = (*socketOut)->connect(targetHost, targetPort);
    } catch (...) {
        // An unresolvable name is an ordinary failed attempt; its code is the lookup's.
        connected = false;
    }
    if (connected) {
        return true;
    }
    lastError = platform::lastSocketError();
    return fail(socketOut);
}
