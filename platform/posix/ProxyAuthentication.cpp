#include "platform/ProxyAuthentication.h"

#include "platform/posix/SharedLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

namespace platform {

namespace {

// GSSAPI as RFC 2744 lays out its C binding; the library is opened at run time, so its header
// is not needed to build.
using OmUint32 = std::uint32_t;
struct BufferDesc {
    std::size_t length;
    void* value;
};
struct OidDesc {
    OmUint32 length;
    void* elements;
};
using Name = void*;
using Context = void*;

constexpr const char* kLibraryName = "libgssapi_krb5.so.2";
constexpr const char* kServicePrefix = "HTTP@";
constexpr OmUint32 kComplete = 0;
constexpr OmUint32 kContinueNeeded = 1;
constexpr OmUint32 kCallingErrorMask = 0xFF000000u;
constexpr OmUint32 kRoutineErrorMask = 0x00FF0000u;
// No request flags: the proxy needs no more than the user's identity, and its answer to the
// last token is not checked.
constexpr OmUint32 kRequestFlags = 0;
// SPNEGO, 1.3.6.1.5.5.2, the mechanism that HTTP Negotiate names (RFC 4559).
constexpr unsigned char kSpnegoOid[] = {0x2b, 0x06, 0x01, 0x05, 0x05, 0x02};

using ImportName = OmUint32 (*)(OmUint32*, BufferDesc*, OidDesc*, Name*);
using InitContext = OmUint32 (*)(OmUint32*, void*, Context*, Name, OidDesc*, OmUint32, OmUint32,
                                 void*, BufferDesc*, OidDesc**, BufferDesc*, OmUint32*, OmUint32*);
using ReleaseBuffer = OmUint32 (*)(OmUint32*, BufferDesc*);
using ReleaseName = OmUint32 (*)(OmUint32*, Name*);
using DeleteContext = OmUint32 (*)(OmUint32*, Context*, BufferDesc*);

struct Functions {
    ImportName importName = nullptr;
    InitContext initContext = nullptr;
    ReleaseBuffer releaseBuffer = nullptr;
    ReleaseName releaseName = nullptr;
    DeleteContext deleteContext = nullptr;
    OidDesc** hostBasedService = nullptr;

    bool complete() const {
        return importName && initContext && releaseBuffer && releaseName && deleteContext &&
               hostBasedService && *hostBasedService;
    }
};

// Opened once and kept, as the Kerberos library keeps state of its own.
const Functions& functions() {
    static const Functions loaded = [] {
        Functions found;
        void* const library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return found;
        }
        found.importName = posix::lookUp<ImportName>(library, "gss_import_name");
        found.initContext = posix::lookUp<InitContext>(library, "gss_init_sec_context");
        found.releaseBuffer = posix::lookUp<ReleaseBuffer>(library, "gss_release_buffer");
        found.releaseName = posix::lookUp<ReleaseName>(library, "gss_release_name");
        found.deleteContext = posix::lookUp<DeleteContext>(library, "gss_delete_sec_context");
        found.hostBasedService = posix::lookUp<OidDesc**>(library, "GSS_C_NT_HOSTBASED_SERVICE");
        return found;
    }();
    return loaded;
}

std::string statusText(const char* call, OmUint32 major, OmUint32 minor) {
    char text[96];
    std::snprintf(text, sizeof text, "%s GSSAPI status 0x%08x minor %u", call,
                  static_cast<unsigned>(major), static_cast<unsigned>(minor));
    return text;
}

class GssContext : public AuthContext {
public:
    GssContext(const Functions& library, Name target) : library(library), target(target) {}

    ~GssContext() override {
        OmUint32 minor = 0;
        if (context != nullptr) {
            library.deleteContext(&minor, &context, nullptr);
        }
        library.releaseName(&minor, &target);
    }

    AuthStep step(const std::string& challenge) override {
        AuthStep result;
        OmUint32 minor = 0;
        BufferDesc input{challenge.size(), const_cast<char*>(challenge.data())};
        BufferDesc output{0, nullptr};
        OidDesc spnego{sizeof kSpnegoOid, const_cast<unsigned char*>(kSpnegoOid)};
        const OmUint32 major = library.initContext(
            &minor, nullptr, &context, target, &spnego, kRequestFlags, 0, nullptr,
            challenge.empty() ? nullptr : &input, nullptr, &output, nullptr, nullptr);
        if (output.value != nullptr) {
            result.token.assign(static_cast<const char*>(output.value), output.length);
            OmUint32 ignored = 0;
            library.releaseBuffer(&ignored, &output);
        }
        if ((major & (kCallingErrorMask | kRoutineErrorMask)) != 0 ||
            (major != kComplete && major != kContinueNeeded)) {
            result.token.clear();
            result.failure = statusText("gss_init_sec_context", major, minor);
            return result;
        }
        result.ok = true;
        result.complete = major == kComplete;
        return result;
    }

private:
    const Functions& library;
    Name target;
    Context context = nullptr;
};

} // namespace

AuthContext::~AuthContext() = default;

std::unique_ptr<AuthContext> startAuthContext(AuthPackage package, const std::string& proxyHost,
                                              std::string& failure) {
    if (package == AuthPackage::Ntlm) {
        failure = "NTLM needs the signed-in user's password, which Linux does not hold";
        return nullptr;
    }
    const Functions& library = functions();
    if (!library.complete()) {
        failure = std::string(kLibraryName) + " is not installed";
        return nullptr;
    }
    std::string service = kServicePrefix + proxyHost;
    BufferDesc name{service.size(), &service[0]};
    Name target = nullptr;
    OmUint32 minor = 0;
    const OmUint32 major = library.importName(&minor, &name, *library.hostBasedService, &target);
    if (major != kComplete) {
        failure = statusText("gss_import_name", major, minor);
        return nullptr;
    }
    return std::make_unique<GssContext>(library, target);
}

} // namespace platform
