// The same route named by several sources (two connections, the static settings, a script, the
// machine-wide proxy) is tried once, and so takes one attempt slot and one record.
#pragma once

#include "proxy/methods/ProxyTypes.h"

#include <vector>

// Same method, proxy and target. The proxy's host compares without letter case, as names do;
// the target's byte for byte, as everywhere else.
bool sameRoute(const ProxyCandidate& first, const ProxyCandidate& second);

// Whether `list` holds the candidate's route.
bool listed(const std::vector<ProxyCandidate>& list, const ProxyCandidate& candidate);

// The candidates of `arriving` whose route is neither in `known` nor earlier in `arriving`.
// Direct candidates stand for the caller's own targets and are all kept, as given.
std::vector<ProxyCandidate> newRoutes(const std::vector<ProxyCandidate>& known,
                                      const std::vector<ProxyCandidate>& arriving);

// Every route of the lists once, in list order; the first naming of a route is kept.
std::vector<ProxyCandidate> uniqueRoutes(const std::vector<std::vector<ProxyCandidate>>& lists);
