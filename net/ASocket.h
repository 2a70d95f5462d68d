// The base of the socket classes: one socket handle, its blocking mode, and whether the
// destructor closes it; with the name and error helpers that need no socket. Misuse and failed
// lookups throw std::runtime_error whose message is the operation's full name, a fixed text
// beginning " -- " and, where there is one, an error text or the host name.
#pragma once

#include "platform/Socket.h"

#include <cstdint>
#include <string>

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

    // The dotted IPv4 address of `host`: a dotted text as it is, a name through the name service.
    // On failure the thread's last socket error holds the lookup's code. Under a cancel token the
    // lookup runs on a helper thread and the caller stops waiting as soon as the token cancels.
    static std::string lookupHostname(const std::string& host);
    static bool isDottedAddress(const std::string& text);
    // Network byte order; platform::kAddressNone when the text is no dotted address.
    static std::uint32_t parseAddress(const std::string& text);
    static std::string errorText(int code);

    // What lookupHostname asks for a name: 0 and the address in network byte order, or a
    // Winsock error code. The system's name service unless replaced (tests put fixed answers
    // here). Returns the one replaced.
    using NameResolver = int (*)(const std::string& host, std::uint32_t& address);
    static NameResolver setNameResolver(NameResolver resolver);

protected:
    // "%u.%u.%u.%u" of an address in network byte order, most significant part first.
    static std::string formatAddress(std::uint32_t address);

    platform::SocketHandle handle;
    bool blocking;
    bool closeOnDestroy;
};
