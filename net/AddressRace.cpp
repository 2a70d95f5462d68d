#include "net/AddressRace.h"

#include "net/CancelToken.h"

#include <algorithm>
#include <atomic>

namespace {

constexpr int kNoLimit = -1;

// Errors that say only that this machine cannot use an address's family (no stack, no source
// address, no route), which the other family's answer explains better.
bool familyUnusable(int code) {
    return code == platform::kSockFamilyUnsupported || code == platform::kSockAddressUnavailable ||
           code == platform::kSockNetUnreachable;
}

} // namespace

AddressRace::AddressRace(const std::vector<platform::IpAddress>& addresses, std::uint16_t port,
                         bool reuseAddress)
    : addresses(order(addresses)), port(port), reuseAddress(reuseAddress) {}

AddressRace::~AddressRace() {
    for (platform::SocketHandle attempt : attempts) {
        platform::sockClose(attempt);
    }
    if (winner != platform::kInvalidSocket) {
        platform::sockClose(winner);
    }
}

std::vector<platform::IpAddress> AddressRace::order(const std::vector<platform::IpAddress>& given) {
    std::vector<platform::IpAddress> v6;
    std::vector<platform::IpAddress> v4;
    for (const platform::IpAddress& address : given) {
        (address.family == platform::AddressFamily::IPv6 ? v6 : v4).push_back(address);
    }
    std::vector<platform::IpAddress> ordered;
    for (std::size_t i = 0; i < std::max(v6.size(), v4.size()); ++i) {
        if (i < v6.size()) {
            ordered.push_back(v6[i]);
        }
        if (i < v4.size()) {
            ordered.push_back(v4[i]);
        }
    }
    return ordered;
}

int AddressRace::meaningfulError(const std::vector<int>& errors) {
    const auto telling = std::find_if_not(errors.begin(), errors.end(), familyUnusable);
    if (telling != errors.end()) {
        return *telling;
    }
    return errors.empty() ? 0 : errors.front();
}

platform::SocketHandle AddressRace::run(int& error) {
    std::atomic<bool> cancelled{false};
    CancelToken* token = CancelToken::current();
    if (token != nullptr && !token->arm([&cancelled] { cancelled = true; })) {
        error = platform::kSockInterrupted;
        return platform::kInvalidSocket;
    }
    nextStart = Clock::now();
    while (winner == platform::kInvalidSocket && !cancelled) {
        const bool due = next < addresses.size() && attempts.size() < kMostAttempts &&
                         (attempts.empty() || Clock::now() >= nextStart);
        if (due) {
            startNext();
        } else if (attempts.empty()) {
            break; // every address has failed
        } else {
            std::chrono::milliseconds wait = nextWait();
            if (token != nullptr && (wait.count() == kNoLimit || wait > kCancelCheck)) {
                wait = kCancelCheck;
            }
            collect(wait);
        }
    }
    if (token != nullptr && token->disarm()) {
        error = platform::kSockInterrupted;
        return platform::kInvalidSocket;
    }
    if (winner == platform::kInvalidSocket) {
        error = meaningfulError(errors);
        return platform::kInvalidSocket;
    }
    platform::sockSetBlocking(winner, true);
    const platform::SocketHandle won = winner;
    winner = platform::kInvalidSocket;
    return won;
}

void AddressRace::startNext() {
    const platform::IpAddress& address = addresses[next++];
    nextStart = Clock::now() + kAttemptDelay;
    const platform::SocketHandle handle = platform::sockCreateTcp(address.family);
    if (handle == platform::kInvalidSocket) {
        errors.push_back(platform::lastSocketError());
        nextStart = Clock::now();
        return;
    }
    platform::sockSetReuseAddress(handle, reuseAddress);
    int status = platform::sockSetBlocking(handle, false);
    if (status == 0) {
        status = platform::sockConnect(handle, address, port);
    }
    if (status == 0) {
        winner = handle;
    } else if (platform::lastSocketError() == platform::kSockWouldBlock) {
        attempts.push_back(handle);
    } else {
        errors.push_back(platform::lastSocketError());
        platform::sockClose(handle);
        nextStart = Clock::now();
    }
}

void AddressRace::collect(std::chrono::milliseconds limit) {
    std::vector<int> outcomes;
    if (platform::sockWaitConnects(attempts, static_cast<int>(limit.count()), outcomes) ==
        platform::kSockFailed) {
        // Attempts that cannot be watched cannot be won.
        outcomes.assign(attempts.size(), platform::lastSocketError());
    }
    std::vector<platform::SocketHandle> pending;
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        if (outcomes[i] == platform::kConnectPending) {
            pending.push_back(attempts[i]);
        } else if (outcomes[i] == 0 && winner == platform::kInvalidSocket) {
            winner = attempts[i];
        } else {
            if (outcomes[i] != 0) {
                errors.push_back(outcomes[i]);
            }
            platform::sockClose(attempts[i]);
            // A failed attempt hands its turn on at once.
            nextStart = Clock::now();
        }
    }
    attempts.swap(pending);
}

std::chrono::milliseconds AddressRace::nextWait() const {
    if (next >= addresses.size() || attempts.size() >= kMostAttempts) {
        return std::chrono::milliseconds(kNoLimit);
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(nextStart - Clock::now());
    // Rounded up, so that the wait does not end a moment before the start is due.
    return std::max(left + std::chrono::milliseconds(1), std::chrono::milliseconds(0));
}
