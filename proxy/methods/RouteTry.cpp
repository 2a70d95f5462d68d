#include "proxy/methods/RouteTry.h"

#include "net/CancelTimer.h"
#include "net/CancelToken.h"
#include "proxy/methods/CDirectMethod.h"
#include "proxy/methods/CHttpConnectMethod.h"
#include "proxy/methods/CSocks5Method.h"
#include "proxy/methods/CSocksMethod.h"

#include <memory>

namespace methods {

namespace {

std::unique_ptr<AProxyMethod> makeMethod(const Route& route) {
    switch (route.method) {
    case MethodDirect:
        return std::make_unique<CDirectMethod>();
    case MethodHttpConnect:
        return std::make_unique<CHttpConnectMethod>();
    case MethodSocks:
        return std::make_unique<CSocksMethod>();
    case MethodSocks5:
        return std::make_unique<CSocks5Method>(route.credentials);
    default:
        return nullptr;
    }
}

} // namespace

RouteTrier::~RouteTrier() = default;

Route routeOf(const ProxyCandidate& candidate) {
    return Route{candidate.method,    candidate.targetHost, candidate.targetPort,
                 candidate.proxyHost, candidate.proxyPort,  candidate.credentials};
}

TryOutcome tryRoute(const Route& route) {
    TryOutcome outcome;
    const std::unique_ptr<AProxyMethod> method = makeMethod(route);
    if (!method) {
        return outcome;
    }
    const bool direct = route.method == MethodDirect;
    CTCPSocket* made = nullptr;
    if (method->connect(&made, route.targetHost, route.targetPort,
                        direct ? std::string() : route.proxyHost, direct ? 0 : route.proxyPort)) {
        outcome.stream = OwnedStream(made);
    } else {
        outcome.error = method->getLastError();
    }
    return outcome;
}

TryOutcome tryRoute(const Route& route, std::chrono::milliseconds deadline) {
    CancelToken token;
    const CancelToken::Scope scope(token);
    const CancelTimer timer(token, deadline);
    return tryRoute(route);
}

} // namespace methods
