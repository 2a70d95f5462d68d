// The signed-in user's credentials for a proxy that asks who the user is: one security context
// of Negotiate or NTLM for the proxy's HTTP service, stepped one token at a time. SSPI on
// Windows; on Linux GSSAPI for Negotiate (the user's Kerberos tickets) and no NTLM, for Linux
// keeps no password of the signed-in user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class AuthPackage { Negotiate, Ntlm };

struct AuthStep {
    bool ok = false;
    std::string token; // to send to the proxy; may be empty when the context is complete
    bool complete = false;
    std::string failure; // for the log when not ok: which call failed and its status, no data
};

class AuthContext {
public:
    virtual ~AuthContext();

    // One step: `challenge` is the proxy's decoded token, empty for the first step.
    virtual AuthStep step(const std::string& challenge) = 0;
};

// A context for the service "HTTP" on `proxyHost` (as configured, without port), or null with
// `failure` set when the package cannot be used here.
std::unique_ptr<AuthContext> startAuthContext(AuthPackage package, const std::string& proxyHost,
                                              std::string& failure);

} // namespace platform
