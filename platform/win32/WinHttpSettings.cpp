#include "platform/win32/WinHttpSettings.h"

#include "platform/win32/SystemLibrary.h"

#include <windows.h>
#include <winhttp.h> // structures and flags only; the functions come from the DLL

namespace platform::winhttp {

namespace {

constexpr const char* kLibraryName = "winhttp.dll";
constexpr const wchar_t* kUserAgent = L"qvproxydetect";
// WinHTTP's own limit on each network step of fetching a script, so that a helper left running
// on a dead server still ends by itself; the caller's deadline does not rely on it.
constexpr int kNetworkStepTimeoutMs = 5000;
constexpr DWORD kDiscoveryKinds = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;

using GetIEConfigFunction = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
using GetDefaultFunction = BOOL(WINAPI*)(WINHTTP_PROXY_INFO*);
using OpenFunction = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
using SetTimeoutsFunction = BOOL(WINAPI*)(HINTERNET, int, int, int, int);
using GetProxyForUrlFunction = BOOL(WINAPI*)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*,
                                             WINHTTP_PROXY_INFO*);
using CloseFunction = BOOL(WINAPI*)(HINTERNET);

class Library {
public:
    Library() : module(loadFromSystemDirectory(kLibraryName)) {}
    ~Library() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    template <typename Function>
    Function function(const char* name) const {
        return module == nullptr ? nullptr : systemFunction<Function>(module, name);
    }

private:
    HMODULE module;
};

std::string narrow(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return std::string();
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

std::optional<std::string> takeText(LPWSTR text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string result = narrow(text);
    GlobalFree(text); // WinHTTP hands its texts over to the caller
    return result;
}

std::wstring widen(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) {
        return std::wstring();
    }
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &result[0], size);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

ProxyScriptAnswer failure() {
    ProxyScriptAnswer answer;
    answer.failed = true;
    answer.error = static_cast<long>(GetLastError());
    return answer;
}

ProxyScriptAnswer runScript(const Library& library, HINTERNET session,
                            const ProxyScriptRequest& request) {
    const auto getProxyForUrl = library.function<GetProxyForUrlFunction>("WinHttpGetProxyForUrl");
    if (getProxyForUrl == nullptr) {
        return failure();
    }
    if (const auto setTimeouts = library.function<SetTimeoutsFunction>("WinHttpSetTimeouts")) {
        setTimeouts(session, kNetworkStepTimeoutMs, kNetworkStepTimeoutMs, kNetworkStepTimeoutMs,
                    kNetworkStepTimeoutMs);
    }
    const std::wstring url = widen(request.url);
    const std::wstring scriptUrl = widen(request.scriptUrl.value_or(std::string()));
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (request.scriptUrl) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl.c_str();
    }
    if (request.autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = kDiscoveryKinds;
    }
    WINHTTP_PROXY_INFO info = {};
    if (!getProxyForUrl(session, url.c_str(), &options, &info)) {
        return failure();
    }
    ProxyScriptAnswer answer;
    answer.proxies = takeText(info.lpszProxy).value_or(std::string());
    takeText(info.lpszProxyBypass);
    return answer;
}

ProxyScriptAnswer runRequest(const ProxyScriptRequest& request) {
    const Library library;
    const auto open = library.function<OpenFunction>("WinHttpOpen");
    const auto close = library.function<CloseFunction>("WinHttpCloseHandle");
    if (open == nullptr || close == nullptr) {
        return failure();
    }
    const HINTERNET session = open(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        return failure();
    }
    const ProxyScriptAnswer answer = runScript(library, session, request);
    close(session);
    return answer;
}

} // namespace

std::optional<AutomaticProxySettings> automaticSettings() {
    const Library library;
    const auto query =
        library.function<GetIEConfigFunction>("WinHttpGetIEProxyConfigForCurrentUser");
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (query == nullptr || !query(&config)) {
        return std::nullopt;
    }
    AutomaticProxySettings settings;
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.scriptUrl = takeText(config.lpszAutoConfigUrl);
    if (settings.scriptUrl && settings.scriptUrl->empty()) {
        settings.scriptUrl.reset();
    }
    takeText(config.lpszProxy);
    takeText(config.lpszProxyBypass);
    return settings;
}

std::optional<ProxyQueryResult> machineWide() {
    const Library library;
    const auto query = library.function<GetDefaultFunction>("WinHttpGetDefaultProxyConfiguration");
    if (query == nullptr) {
        return std::nullopt;
    }
    ProxyQueryResult result;
    WINHTTP_PROXY_INFO info = {};
    if (!query(&info)) {
        result.failed = true;
        result.error = static_cast<long>(GetLastError());
        return result;
    }
    result.flags = info.dwAccessType;
    result.server = takeText(info.lpszProxy);
    result.bypass = takeText(info.lpszProxyBypass);
    return result;
}

ProxyScriptQuery scriptQuery(const ProxyScriptRequest& request) {
    return [request] { return runRequest(request); };
}

} // namespace platform::winhttp
