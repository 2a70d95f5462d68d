// The library's entry point and its one export. No C run-time library is linked, so the entry
// point is this DllMain itself and nothing here may call into a run-time.
#include "splash/ImageDirectory.h"
#include "splash/NsisStack.h"
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

unsigned readModulePath(char* out, unsigned capacity) {
    return GetModuleFileNameA(nullptr, out, capacity);
}

constexpr int kResultTextCapacity = 16;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    g_module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) void __cdecl show(HWND, int stringSize, char*,
                                                   splash::StackNode** stacktop) {
    const unsigned size = stringSize > 0 ? static_cast<unsigned>(stringSize) : 0;
    char directory[splash::kPathCapacity];
    const splash::PopResult popped =
        splash::popString(stacktop, size, directory, sizeof directory, kInstallerHeap);
    const bool usable = splash::resolveImageDirectory(popped, directory, readModulePath);

    const INT_PTR result = splash::runSplashDialog(g_module, usable ? directory : nullptr);

    char text[kResultTextCapacity];
    wsprintfA(text, "%d", static_cast<int>(result));
    splash::pushString(stacktop, size, text, kInstallerHeap);
}
