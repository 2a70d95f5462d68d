#include "platform/ProxyAuthentication.h"

#include "platform/win32/SystemLibrary.h"

#define SECURITY_WIN32
#include <windows.h>

#include <security.h>
#include <sspi.h>

#include <cstdio>
#include <vector>

namespace platform {

namespace {

constexpr const char* kLibraryName = "secur32.dll";
constexpr const wchar_t* kServicePrefix = L"HTTP/";
// Every request flag left out: the proxy needs no more than the user's identity.
constexpr ULONG kRequestFlags = 0;

struct Functions {
    ACQUIRE_CREDENTIALS_HANDLE_FN_W acquire = nullptr;
    INITIALIZE_SECURITY_CONTEXT_FN_W initialize = nullptr;
    DELETE_SECURITY_CONTEXT_FN deleteContext = nullptr;
    FREE_CREDENTIALS_HANDLE_FN freeCredentials = nullptr;
    QUERY_SECURITY_PACKAGE_INFO_FN_W queryPackage = nullptr;
    FREE_CONTEXT_BUFFER_FN freeBuffer = nullptr;

    bool complete() const {
        return acquire && initialize && deleteContext && freeCredentials && queryPackage &&
               freeBuffer;
    }
};

// Loaded once, from the system directory only: a secur32.dll dropped beside the installer
// would otherwise see the user's credentials.
const Functions& functions() {
    static const Functions loaded = [] {
        Functions found;
        const HMODULE library = loadFromSystemDirectory(kLibraryName);
        if (library == nullptr) {
            return found;
        }
        found.acquire =
            systemFunction<ACQUIRE_CREDENTIALS_HANDLE_FN_W>(library, "AcquireCredentialsHandleW");
        found.initialize =
            systemFunction<INITIALIZE_SECURITY_CONTEXT_FN_W>(library, "InitializeSecurityContextW");
        found.deleteContext =
            systemFunction<DELETE_SECURITY_CONTEXT_FN>(library, "DeleteSecurityContext");
        found.freeCredentials =
            systemFunction<FREE_CREDENTIALS_HANDLE_FN>(library, "FreeCredentialsHandle");
        found.queryPackage =
            systemFunction<QUERY_SECURITY_PACKAGE_INFO_FN_W>(library, "QuerySecurityPackageInfoW");
        found.freeBuffer = systemFunction<FREE_CONTEXT_BUFFER_FN>(library, "FreeContextBuffer");
        return found;
    }();
    return loaded;
}

std::string statusText(const char* call, SECURITY_STATUS status) {
    char text[80];
    std::snprintf(text, sizeof text, "%s SSPI status 0x%08lx", call,
                  static_cast<unsigned long>(status));
    return text;
}

std::wstring widened(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                            length);
    }
    return wide;
}

class SspiContext : public AuthContext {
public:
    SspiContext(const Functions& library, CredHandle credentials, std::wstring target,
                unsigned long maxToken)
        : library(library), credentials(credentials), target(std::move(target)),
          maxToken(maxToken) {}

    ~SspiContext() override {
        if (started) {
            library.deleteContext(&context);
        }
        library.freeCredentials(&credentials);
    }

    AuthStep step(const std::string& challenge) override {
        AuthStep result;
        std::vector<char> output(maxToken);
        SecBuffer outBuffer{static_cast<unsigned long>(output.size()), SECBUFFER_TOKEN,
                            output.data()};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
        std::string input = challenge;
        SecBuffer inBuffer{static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, &input[0]};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 1, &inBuffer};
        ULONG attributes = 0;
        TimeStamp expiry;
        const SECURITY_STATUS status =
            library.initialize(&credentials, started ? &context : nullptr, &target[0],
                               kRequestFlags, 0, SECURITY_NATIVE_DREP, started ? &inDesc : nullptr,
                               0, &context, &outDesc, &attributes, &expiry);
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            result.failure = statusText("InitializeSecurityContextW", status);
            return result;
        }
        started = true;
        result.ok = true;
        result.complete = status == SEC_E_OK;
        result.token.assign(output.data(), outBuffer.cbBuffer);
        return result;
    }

private:
    const Functions& library;
    CredHandle credentials;
    CtxtHandle context{};
    bool started = false;
    std::wstring target;
    unsigned long maxToken;
};

} // namespace

AuthContext::~AuthContext() = default;

std::unique_ptr<AuthContext> startAuthContext(AuthPackage package, const std::string& proxyHost,
                                              std::string& failure) {
    const Functions& library = functions();
    if (!library.complete()) {
        failure = std::string(kLibraryName) + " could not be loaded";
        return nullptr;
    }
    wchar_t negotiate[] = L"Negotiate";
    wchar_t ntlm[] = L"NTLM";
    wchar_t* const name = package == AuthPackage::Negotiate ? negotiate : ntlm;
    PSecPkgInfoW info = nullptr;
    SECURITY_STATUS status = library.queryPackage(name, &info);
    if (status != SEC_E_OK) {
        failure = statusText("QuerySecurityPackageInfoW", status);
        return nullptr;
    }
    const unsigned long maxToken = info->cbMaxToken;
    library.freeBuffer(info);
    // No identity: the package takes the signed-in user's.
    CredHandle credentials;
    TimeStamp expiry;
    status = library.acquire(nullptr, name, SECPKG_CRED_OUTBOUND, nullptr, nullptr, nullptr,
                             nullptr, &credentials, &expiry);
    if (status != SEC_E_OK) {
        failure = statusText("AcquireCredentialsHandleW", status);
        return nullptr;
    }
    return std::make_unique<SspiContext>(library, credentials, kServicePrefix + widened(proxyHost),
                                         maxToken);
}

} // namespace platform
