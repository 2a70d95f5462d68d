#include "platform/Process.h"

#include <windows.h>

#include <vector>

namespace platform {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32; the headers offer it only when built for Windows 8 and later.
constexpr DWORD kSearchSystemFolderOnly = 0x00000800;
constexpr const char* kKernelName = "kernel32.dll"; // always loaded, never looked for
constexpr const char* kSearchFunctionName = "SetDefaultDllDirectories";

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

} // namespace

std::string programDirectory() {
    // Paths longer than MAX_PATH exist; grow the buffer until the whole path fits.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            const std::string::size_type slash = path.find_last_of('\\');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

unsigned long processId() {
    return GetCurrentProcessId();
}

void restrictLibrarySearch() {
    // Looked up rather than imported: Windows 7 without its 2011 loader update lacks the function,
    // and an import of it would keep the program from starting there.
    const HMODULE kernel = GetModuleHandleA(kKernelName);
    if (kernel == nullptr) {
        return;
    }
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, kSearchFunctionName)));
    if (setDefault != nullptr) {
        setDefault(kSearchSystemFolderOnly);
    }
}

} // namespace platform
