// Between the platform's IpAddress and the system's socket addresses, which Winsock and BSD
// sockets lay out alike. Included by each platform's socket file after its own system headers,
// which declare sockaddr_in, sockaddr_in6, sockaddr_storage, addrinfo, htons and ntohs.
#pragma once

#include "platform/Socket.h"

#include <cstring>
#include <vector>

namespace platform {
namespace {

// The system's socket address of an address and port; returns its length.
int socketAddressOf(const IpAddress& address, std::uint16_t port, sockaddr_storage& out) {
    out = sockaddr_storage{};
    if (address.family == AddressFamily::IPv6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(out);
        v6.sin6_family = AF_INET6;
        std::memcpy(&v6.sin6_addr, address.bytes.data(), sizeof v6.sin6_addr);
        v6.sin6_scope_id = address.scope;
        v6.sin6_port = htons(port);
        return sizeof v6;
    }
    auto& v4 = reinterpret_cast<sockaddr_in&>(out);
    v4.sin_family = AF_INET;
    std::memcpy(&v4.sin_addr, address.bytes.data(), sizeof v4.sin_addr);
    v4.sin_port = htons(port);
    return sizeof v4;
}

// False for a family that is neither IPv4 nor IPv6.
bool readSocketAddress(const sockaddr* raw, IpAddress& address, std::uint16_t& port) {
    address = IpAddress{};
    if (raw->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(raw);
        address.family = AddressFamily::IPv6;
        std::memcpy(address.bytes.data(), &v6->sin6_addr, sizeof v6->sin6_addr);
        address.scope = v6->sin6_scope_id;
        port = ntohs(v6->sin6_port);
        return true;
    }
    if (raw->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(raw);
        std::memcpy(address.bytes.data(), &v4->sin_addr, sizeof v4->sin_addr);
        port = ntohs(v4->sin_port);
        return true;
    }
    return false;
}

// The addresses of a lookup's answer in its order, those of other families left out.
void takeAddresses(const addrinfo* found, std::vector<IpAddress>& addresses) {
    addresses.clear();
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        IpAddress address;
        std::uint16_t port = 0;
        if (readSocketAddress(entry->ai_addr, address, port)) {
            addresses.push_back(address);
        }
    }
}

} // namespace
} // namespace platform
