// The library's entry point and its one export. No C run-time library is linked, so the entry
// point is this DllMain itself and nothing here may call into a run-time. The Win32 calls without
// an A or W suffix follow the flavour's character type (UNICODE).
#include "splash/ImageDirectory.h"
#include "splash/NsisStack.h"
#include "splash/SplashText.h"
#include "splash/win32/SplashDialog.h"

#include <windows.h>

namespace {

HINSTANCE g_module;

// Nodes belong to the installer's heap: it frees what the plug-in pushes, and the other way round.
void* allocateNode(unsigned bytes) {
    return GlobalAlloc(GPTR, bytes);
}
void releaseNode(void* node) {
    GlobalFree(node);
}
constexpr splash::StackMemory kInstallerHeap = {allocateNode, releaseNode};

unsigned readModulePath(splash::Char* out, unsigned capacity) {
    return GetModuleFileName(nullptr, out, capacity);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    g_module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) void __cdecl show(HWND installer, int stringSize, splash::Char*,
                                                   splash::StackNode** stacktop) {
    const unsigned size = stringSize > 0 ? static_cast<unsigned>(stringSize) : 0;
    splash::Char directory[splash::kPathCapacity];
    const splash::PopResult popped =
        splash::popString(stacktop, size, directory, splash::kPathCapacity, kInstallerHeap);
    const bool usable = splash::resolveImageDirectory(popped, directory, readModulePath);

    const INT_PTR result =
        splash::runSplashDialog(g_module, usable ? directory : nullptr, installer);

    splash::Char text[splash::kIntegerTextCapacity];
    splash::formatInteger(static_cast<int>(result), text);
    splash::pushString(stacktop, size, text, kInstallerHeap);
}
