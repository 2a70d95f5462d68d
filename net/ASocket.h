// The base of the socket classes: one socket handle, its blocking mode, and whether the
// destructor closes it; with the name and error helpers that need no socket. Misuse and failed
// lookups throw std::runtime_error whose message is the operation's full name, a fixed text
// beginning " -- " and, where there is one, an error text or the host name.
#pragma once

#include "platform/Socket.h"

#include <cstdint>
#include <string>
#include <vector>

// Start and stop the socket library for the process, around every socket object.
int startNetwork();
void stopNetwork();

class ASocket {
public:
    // With `closeOnDestroy` false the handle outlives the object, which is how a connected
    // handle passes from one socket object to another.
    explicit ASocket(bool closeOnDestroy);
    virtual ~ASocket();
    ASocket(const ASocket&) = delete;
    ASocket& operator=(const ASocket&) = delete;

    virtual void close();
    virtual void shutdown(int how);

    // Records the mode and switches the handle; returns the system call's result.
    int setBlocking(bool blocking);
    platform::SocketHandle getHandle() const;

    // Every address of `host` in the system's order: a dotted text or an IPv6 literal (bracketed
    // or not) is its own address, a name goes to the name service. On failure throws the
    // lookupHostname message and the thread's last socket error holds the lookup's code. Under a
    // cancel token the lookup runs on a helper thread and the caller stops waiting as soon as the
    // token cancels.
    static std::vector<platform::IpAddress> lookupAddresses(const std::string& host);
    // The address text of `host`: a dotted text as it is, else the first IPv4 address that
    // lookupAddresses finds or, where it finds none, the first IPv6 address (without brackets).
    static std::string lookupHostname(const std::string& host);
    static bool isDottedAddress(const std::string& text);
    // Network byte order; platform::kAddressNone when the text is no dotted address.
    static std::uint32_t parseAddress(const std::string& text);
    static std::string errorText(int code);

    // What lookupAddresses asks for a name: 0 and at least one address, or a Winsock error code.
    // The system's name service unless replaced (tests put fixed answers here). Returns the one
    // replaced.
    using NameResolver = int (*)(const std::string& host,
                                 std::vector<platform::IpAddress>& addresses);
    static NameResolver setNameResolver(NameResolver resolver);

protected:
    platform::SocketHandle handle;
    bool blocking;
    bool closeOnDestroy;
};
