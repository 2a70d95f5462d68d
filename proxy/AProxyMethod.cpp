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

bool AProxyMethod::breaksTheLine(const std::string& host) {
    return host.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}
