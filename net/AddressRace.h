// Connects to whichever of a host's addresses answers first, as Happy Eyeballs (RFC 8305) does:
// a host whose IPv6 address is silent or broken is reached over IPv4 within a fraction of a
// second instead of after the system's connect time-out, and the reverse.
#pragma once

#include "platform/Socket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

class AddressRace {
public:
    // How long an attempt has alone before the next address starts (RFC 8305's recommended
    // connection attempt delay).
    static constexpr std::chrono::milliseconds kAttemptDelay{250};
    // How long a wait lasts at most before the race looks at its cancel token again: a cancel
    // cannot wake a select on Winsock from another thread.
    static constexpr std::chrono::milliseconds kCancelCheck{50};
    // Attempts under way at once: Winsock's select watches at most 64 sockets.
    static constexpr std::size_t kMostAttempts = 32;

    AddressRace(const std::vector<platform::IpAddress>& addresses, std::uint16_t port,
                bool reuseAddress);
    // Closes every attempt still under way.
    ~AddressRace();
    AddressRace(const AddressRace&) = delete;
    AddressRace& operator=(const AddressRace&) = delete;

    // The addresses in the order they are tried: the families in turn, IPv6 first, each family
    // in the order it was given.
    static std::vector<platform::IpAddress> order(const std::vector<platform::IpAddress>& given);

    // The error of a race that nobody won: the first that came from the far end or the way to
    // it, before any that only says this machine cannot use the family; 0 for none.
    static int meaningfulError(const std::vector<int>& errors);

    // Runs the race under the calling thread's cancel token. Returns the winner's handle, in
    // blocking mode, which the caller then owns; or kInvalidSocket with `error` set to the
    // failure's Winsock code (kSockInterrupted when the token cancelled).
    platform::SocketHandle run(int& error);

private:
    using Clock = std::chrono::steady_clock;

    // Starts the next address; a connect that ends at once is a winner or an error at once.
    void startNext();
    // Waits up to `limit` for attempts to end and takes in their outcomes.
    void collect(std::chrono::milliseconds limit);
    // How long the race may wait before it must look again.
    std::chrono::milliseconds nextWait() const;

    std::vector<platform::IpAddress> addresses;
    std::uint16_t port;
    bool reuseAddress;
    std::size_t next = 0;
    Clock::time_point nextStart;
    std::vector<platform::SocketHandle> attempts;
    std::vector<int> errors;
    platform::SocketHandle winner = platform::kInvalidSocket;
};
