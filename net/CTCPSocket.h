// A connected TCP stream over IPv4 or IPv6. Network outcomes come back as results and Winsock error
// codes in the `error` out-arguments; misuse and failed name lookups throw std::runtime_error.
#pragma once

#include "net/ATCPSocket.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CTCPSocket : public ATCPSocket {
public:
    enum IoMode {
        NonBlocking = 0, // one system call in non-blocking mode
        Blocking = 1,    // one system call in blocking mode; may move fewer bytes than asked
        BlockingAll = 2, // blocking, repeated until the whole length has moved or something stops
    };

    // The size argument that makes write send a zero-terminated text whole.
    static constexpr int kZeroTerminated = 0x7FFFFFFF;
    // The error of readLine when the line did not fit the buffer.
    static constexpr int kLineTooLong = -1;
    // The result of read and readLine when the peer closed the connection.
    static constexpr int kPeerClosed = -1;

    explicit CTCPSocket(bool closeOnDestroy);
    ~CTCPSocket() override;

    // Connects to the host's addresses as AddressRace races them. True when connected. False
    // when the attempt failed: the object is closed and the thread's last socket error holds the
    // failure's code. Throws when already connected and when the host name does not resolve
    // (then closed, the lookup's code as the last socket error).
    bool connect(const std::string& host, std::uint16_t port);

    void close() override;

    // Results are bytes moved; `error` gets 0 or a Winsock code, with would-block reported as 0.
    // read also gives kPeerClosed (error 0) once the peer has closed and nothing is left.
    // Both throw on a negative length and when not connected.
    virtual int write(IoMode mode, const char* data, int length, int* error);
    virtual int read(IoMode mode, char* buffer, int length, int* error);

    // One line, the line feed not stored and a carriage return before it dropped, into `buffer`
    // of `size` bytes as a zero-terminated text; returns the length of the text, or kPeerClosed
    // when the peer closed before the line feed. `error` is kLineTooLong when the line filled the
    // buffer (the rest stays unread).
    virtual int readLine(char* buffer, int size, int* error);

    // Adopts an already connected handle. `connectedHost` and `connectedPort` are the endpoint
    // as the donor named it; a non-empty `targetHost` names the far end reached through it and is
    // resolved here (empty when it does not resolve). On failure the caller keeps the handle.
    virtual void donateConnectedSocketHandle(platform::SocketHandle donated,
                                             const std::string& connectedHost,
                                             std::uint16_t connectedPort,
                                             const std::string& targetHost,
                                             std::uint16_t targetPort);

    // Gives back bytes received past the end of what their reader wanted (a proxy's answer, say):
    // the next read and readLine return them before anything the system holds. close drops them.
    void unread(const char* data, std::size_t length);
    const std::string& unreadBytes() const { return pending; }

    std::string getConnectedAddress() const;
    std::uint16_t getConnectedPort() const;
    bool isConnected() const { return connected; }

    // The endpoints of the connection as the system reports them; empty and 0 when closed.
    const std::string& getLocalAddress() const { return localAddress; }
    std::uint16_t getLocalPort() const { return localPort; }
    const std::string& getPeerAddress() const { return peerAddress; }
    std::uint16_t getPeerPort() const { return peerPort; }
    const std::string& getTargetAddress() const { return targetAddress; }
    std::uint16_t getTargetPort() const { return targetPort; }

private:
    // Runs one system call that may block, so that a cancel token installed on this thread can
    // cut it short; a call cut short fails with kSockInterrupted.
    template <typename Call>
    int blockingCall(Call call);
    // Moves up to `length` unread bytes to `buffer`; returns how many.
    int takeUnread(char* buffer, int length);

    bool connected;
    std::string connectedAddress;
    std::string localAddress;
    std::string peerAddress;
    std::string targetAddress;
    std::uint16_t connectedPort;
    std::uint16_t localPort;
    std::uint16_t peerPort;
    std::uint16_t targetPort;
    bool reuseAddress;
    std::string pending;
};
