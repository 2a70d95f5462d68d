#include "platform/win32/SystemLibrary.h"

#include <string>

namespace platform {

HMODULE loadFromSystemDirectory(const char* fileName) {
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::string path = std::string(directory, length) + "\\" + fileName;
    // The altered search path looks for the library's own imports beside it, in the system
    // directory, instead of in the program's folder.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace platform
