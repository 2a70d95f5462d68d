#include "proxy/AProxyMethod.h"

#include "net/CTCPSocket.h"

AProxyMethod::~AProxyMethod() = default;

bool AProxyMethod::connectList(void*, TargetList, std::string, std::uint16_t) {
    return false;
}

bool AProxyMethod::connect(CTCPSocket**, std::string, std::uint16_t, std::string, std::uint16_t) {
    return false;
}

bool AProxyMethod::fail(CTCPSocket** socketOut) {
    if (*socketOut != nullptr) {
        (*socketOut)->close();
        delete *socketOut;
        *socketOut = nullptr;
    }
    return false;
}

std::string AProxyMethod::printable(const std::string& host) {
    std::string shown;
    for (const char c : host) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\0') {
            shown += "\\0";
        } else {
            shown += c;
        }
    }
    return shown;
}

bool AProxyMethod::breaksTheLine(const std::string& host) {
    return host.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}
