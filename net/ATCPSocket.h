// A socket base that makes TCP handles.
#pragma once

#include "net/ASocket.h"

class ATCPSocket : public ASocket {
public:
    explicit ATCPSocket(bool closeOnDestroy);
    ~ATCPSocket() override;

    // The one domain there is: IPv4 (AF_INET).
    static constexpr int kDomainInet = 2;

    // Creates a TCP handle of `domain` into `handle`; kInvalidSocket when the system refuses, with
    // its code as the thread's last socket error. Any other domain than kDomainInet throws.
    void createSocketHandle(int domain);
};
