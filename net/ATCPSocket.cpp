#include "net/ATCPSocket.h"

#include <stdexcept>

ATCPSocket::ATCPSocket(bool closeOnDestroy) : ASocket(closeOnDestroy) {}

ATCPSocket::~ATCPSocket() {
    if (closeOnDestroy) {
        ASocket::close();
    }
    closeOnDestroy = false;
}

void ATCPSocket::createSocketHandle(int domain) {
    if (domain != kDomainInet && domain != kDomainInet6) {
        throw std::runtime_error("ATCPSocket::createSocketHandle -- unhandled domain");
    }
    handle = platform::sockCreateTcp(domain == kDomainInet6 ? platform::AddressFamily::IPv6
                                                            : platform::AddressFamily::IPv4);
}
