#include "proxy/methods/AProxyMethod.h"

AProxyMethod::~AProxyMethod() = default;

bool AProxyMethod::connectList(void*, TargetList, std::string, std::uint16_t) {
    return false;
}

bool AProxyMethod::connect(CTCPSocket**, std::string, std::uint16_t, std::string, std::uint16_t) {
    return false;
}
