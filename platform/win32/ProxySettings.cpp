// WinINet's proxy settings, with what WinHTTP adds to them. The library is loaded at run time so
// the program still starts where it is missing, and it is taken from the system directory by full
// path: installers run from download folders, where a wininet.dll planted beside the program must
// never be loaded.
#include "platform/ProxySettings.h"

#include "platform/win32/SystemLibrary.h"
#include "platform/win32/WinHttpSettings.h"

#include <windows.h>
#include <wininet.h> // structures and option numbers only; the functions come from the DLL

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

constexpr const char* kLibraryName = "wininet.dll";
constexpr const char* kQueryFunctionName = "InternetQueryOptionA";
constexpr const char* kVersionKey = "Software\\Microsoft\\Internet Explorer";
constexpr const char* kVersionValue = "Version";
constexpr DWORD kVersionBufferSize = 50;
constexpr const char* kDialUpKey = "RemoteAccess\\Profile";
constexpr DWORD kConnectionNameBufferSize = 2048;
constexpr DWORD kPerConnectionOptionCount = 3;

// The list holds a pointer, so its size differs between 32- and 64-bit builds; WinINet checks
// the size it is given against its own.
static_assert(sizeof(void*) != 4 || sizeof(INTERNET_PER_CONN_OPTION_LISTA) == 20,
              "a 32-bit INTERNET_PER_CONN_OPTION_LIST is 20 bytes");

using QueryOptionFunction = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD);

std::optional<std::string> textOf(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::string(text);
}

class WinInetSession : public ProxySettingsSession {
public:
    WinInetSession(HMODULE library, QueryOptionFunction query) : library(library), query(query) {}
    ~WinInetSession() override { FreeLibrary(library); }
    WinInetSession(const WinInetSession&) = delete;
    WinInetSession& operator=(const WinInetSession&) = delete;

    std::string versionText() override {
        HKEY key = nullptr;
        // Read access only: every user may read this machine-wide key, few may write it.
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS) {
            return std::string();
        }
        char buffer[kVersionBufferSize] = {};
        DWORD size = kVersionBufferSize;
        const LONG result = RegQueryValueExA(key, kVersionValue, nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS) {
            return std::string();
        }
        // A value that fills the buffer need not end in a zero; the text stops at the buffer.
        char* const end = buffer + std::min<DWORD>(size, kVersionBufferSize);
        return std::string(buffer, std::find(buffer, end, '\0'));
    }

    std::vector<std::string> dialUpConnections() override {
        std::vector<std::string> names;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kDialUpKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return names;
        }
        char name[kConnectionNameBufferSize];
        for (DWORD index = 0;; ++index) {
            DWORD length = kConnectionNameBufferSize;
            if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name, length);
        }
        RegCloseKey(key);
        return names;
    }

    ProxyQueryResult queryGlobal() override {
        ProxyQueryResult result;
        DWORD size = 0;
        query(nullptr, INTERNET_OPTION_PROXY, nullptr, &size);
        // Never less than the structure itself, whatever size the first call reported.
        std::vector<unsigned char> buffer(std::max<DWORD>(size, sizeof(INTERNET_PROXY_INFO)));
        DWORD length = static_cast<DWORD>(buffer.size());
        if (!query(nullptr, INTERNET_OPTION_PROXY, buffer.data(), &length)) {
            result.failed = true;
            result.error = static_cast<long>(GetLastError());
            return result;
        }
        INTERNET_PROXY_INFO info;
        std::memcpy(&info, buffer.data(), sizeof info);
        result.flags = info.dwAccessType;
        result.server = textOf(reinterpret_cast<const char*>(info.lpszProxy));
        result.bypass = textOf(reinterpret_cast<const char*>(info.lpszProxyBypass));
        return result;
    }

    ProxyQueryResult queryConnection(const std::string& name) override {
        ProxyQueryResult result;
        INTERNET_PER_CONN_OPTIONA options[kPerConnectionOptionCount] = {};
        options[0].dwOption = INTERNET_PER_CONN_FLAGS;
        options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
        options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
        std::string connection = name;
        INTERNET_PER_CONN_OPTION_LISTA list = {};
        list.dwSize = sizeof list;
        list.pszConnection = name.empty() ? nullptr : &connection[0];
        list.dwOptionCount = kPerConnectionOptionCount;
        list.dwOptionError = 0;
        list.pOptions = options;
        DWORD length = sizeof list;
        if (!query(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &length)) {
            result.failed = true;
            result.error = static_cast<long>(GetLastError());
            return result;
        }
        result.flags = options[0].Value.dwValue;
        result.server = textOf(options[1].Value.pszValue);
        result.bypass = textOf(options[2].Value.pszValue);
        // WinINet hands the texts over to the caller, whatever the flags say.
        for (DWORD i = 1; i < kPerConnectionOptionCount; ++i) {
            if (options[i].Value.pszValue != nullptr) {
                GlobalFree(options[i].Value.pszValue);
            }
        }
        return result;
    }

    std::optional<AutomaticProxySettings> automaticSettings() override {
        return winhttp::automaticSettings();
    }

    ProxyScriptQuery scriptQuery(const ProxyScriptRequest& request) override {
        return winhttp::scriptQuery(request);
    }

    std::optional<ProxyQueryResult> queryMachineWide() override { return winhttp::machineWide(); }

private:
    HMODULE library;
    QueryOptionFunction query;
};

class WinInetSource : public ProxySettingsSource {
public:
    ProxySettingsOpen open(std::unique_ptr<ProxySettingsSession>& session) override {
        session.reset();
        const HMODULE library = loadFromSystemDirectory(kLibraryName);
        if (library == nullptr) {
            return ProxySettingsOpen::NoLibrary;
        }
        const auto query = systemFunction<QueryOptionFunction>(library, kQueryFunctionName);
        if (query == nullptr) {
            FreeLibrary(library);
            return ProxySettingsOpen::NoQueryFunction;
        }
        session = std::make_unique<WinInetSession>(library, query);
        return ProxySettingsOpen::Ready;
    }
};

} // namespace

ProxySettingsSource& systemProxySettings() {
    static WinInetSource source;
    return source;
}

} // namespace platform
