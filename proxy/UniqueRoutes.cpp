#include "proxy/UniqueRoutes.h"

#include <algorithm>
#include <cctype>

namespace {

bool sameName(const std::string& first, const std::string& second) {
    return first.size() == second.size() &&
           std::equal(first.begin(), first.end(), second.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool listed(const std::vector<ProxyCandidate>& list, const ProxyCandidate& candidate) {
    return std::any_of(list.begin(), list.end(), [&candidate](const ProxyCandidate& other) {
        return sameRoute(other, candidate);
    });
}

} // namespace

bool sameRoute(const ProxyCandidate& first, const ProxyCandidate& second) {
    return first.method == second.method && first.proxyPort == second.proxyPort &&
           sameName(first.proxyHost, second.proxyHost) && first.targetHost == second.targetHost &&
           first.targetPort == second.targetPort;
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
