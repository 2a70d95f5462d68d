#include "platform/posix/LibProxy.h"

#include "platform/posix/SharedLibrary.h"

#include <dlfcn.h>

#include <cstdlib>

namespace platform::libproxy {

namespace {

constexpr const char* kLibraryName = "libproxy.so.1";
constexpr const char* kProxySeparator = " ";

struct Factory; // pxProxyFactory, opaque

using NewFunction = Factory* (*)();
using GetProxiesFunction = char** (*)(Factory*, const char*);
using FreeProxiesFunction = void (*)(char**);
using FreeFunction = void (*)(Factory*);

struct Functions {
    NewFunction create = nullptr;
    GetProxiesFunction getProxies = nullptr;
    FreeProxiesFunction freeProxies = nullptr; // only from 0.4.16 on
    FreeFunction destroy = nullptr;
};

// Opened once and kept: libproxy starts plug-ins of its own that must not lose their code
// under them, and a query may still be running on a helper thread when the program ends.
const Functions& functions() {
    static const Functions loaded = [] {
        Functions found;
        void* const library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return found;
        }
        found.create = posix::lookUp<NewFunction>(library, "px_proxy_factory_new");
        found.getProxies =
            posix::lookUp<GetProxiesFunction>(library, "px_proxy_factory_get_proxies");
        found.freeProxies =
            posix::lookUp<FreeProxiesFunction>(library, "px_proxy_factory_free_proxies");
        found.destroy = posix::lookUp<FreeFunction>(library, "px_proxy_factory_free");
        return found;
    }();
    return loaded;
}

void release(const Functions& library, char** proxies) {
    if (library.freeProxies != nullptr) {
        library.freeProxies(proxies);
        return;
    }
    // Before 0.4.16 the caller freed the list with the C library, as its documentation says.
    for (char** entry = proxies; *entry != nullptr; ++entry) {
        std::free(*entry);
    }
    std::free(proxies);
}

ProxyScriptAnswer ask(const std::string& url) {
    const Functions& library = functions();
    ProxyScriptAnswer answer;
    Factory* const factory = library.create();
    char** const proxies = factory == nullptr ? nullptr : library.getProxies(factory, url.c_str());
    if (proxies == nullptr) {
        answer.failed = true;
    } else {
        for (char** entry = proxies; *entry != nullptr; ++entry) {
            answer.proxies += (answer.proxies.empty() ? "" : kProxySeparator) + std::string(*entry);
        }
        release(library, proxies);
    }
    if (factory != nullptr) {
        library.destroy(factory);
    }
    return answer;
}

} // namespace

bool available() {
    const Functions& library = functions();
    return library.create != nullptr && library.getProxies != nullptr && library.destroy != nullptr;
}

ProxyScriptQuery scriptQuery(const ProxyScriptRequest& request) {
    if (!available()) {
        return nullptr;
    }
    return [url = request.url] { return ask(url); };
}

} // namespace platform::libproxy
