#include "proxy/routes/UniqueRoutes.h"

#include "platform/AsciiCase.h"
#include <algorithm>

bool sameRoute(const ProxyCandidate& first, const ProxyCandidate& second) {
    return first.method == second.method && first.proxyPort == second.proxyPort &&
           platform::sameIgnoringAsciiCase(first.proxyHost, second.proxyHost) &&
           first.targetHost == second.targetHost && first.targetPort == second.targetPort;
}

bool listed(const std::vector<ProxyCandidate>& list, const ProxyCandidate& candidate) {
    return std::any_of(list.begin(), list.end(), [&candidate](const ProxyCandidate& other) {
        return sameRoute(other, candidate);
    });
}

std::vector<ProxyCandidate> newRoutes(const std::vector<ProxyCandidate>& known,
                                      const std::vector<ProxyCandidate>& arriving) {
    std::vector<ProxyCandidate> fresh;
    for (const ProxyCandidate& candidate : arriving) {
        if (candidate.method == MethodDirect ||
            (!listed(known, candidate) && !listed(fresh, candidate))) {
            fresh.push_back(candidate);
        }
    }
    return fresh;
}

std::vector<ProxyCandidate> uniqueRoutes(const std::vector<std::vector<ProxyCandidate>>& lists) {
    std::vector<ProxyCandidate> routes;
    for (const std::vector<ProxyCandidate>& list : lists) {
        for (ProxyCandidate& candidate : newRoutes(routes, list)) {
            routes.push_back(std::move(candidate));
        }
    }
    return routes;
}
