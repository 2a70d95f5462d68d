// Loading a system DLL so that no copy planted beside the program can stand in for it.
#pragma once

#include <windows.h>

namespace platform {

// Loads `fileName` by its full path in the system directory; null when it cannot be loaded.
// Installers run from download folders, where anyone may have dropped a DLL of the same name.
HMODULE loadFromSystemDirectory(const char* fileName);

// The named function of a loaded library, as the given function pointer type; null if missing.
template <typename Function>
Function systemFunction(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace platform
