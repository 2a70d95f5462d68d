// A socket base that makes TCP handles.
#pragma once

#include "net/ASocket.h"

class ATCPSocket : public ASocket {
public:
    explicit ATCPSocket(bool closeOnDestroy);
    ~ATCPSocket() override;

    // The domains, as Winsock numbers them: IPv4 (AF_INET) and IPv6 (AF_INET6).
    static constexpr int kDomainInet = 2;
    static constexpr int kDomainInet6 = 23;

    // Creates a TCP handle of `domain` into `handle`; kInvalidSocket when the system refuses, with
    // its code as the thread's last socket error. Any other domain than those two throws.
    void createSocketHandle(int domain);
};
