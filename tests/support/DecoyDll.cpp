// A DLL such as anyone may drop beside a program in a download folder. Once loaded it ends the
// process at once with kLoadedExitCode, which no run of the program gives by itself.
#include <windows.h>

namespace {
constexpr UINT kLoadedExitCode = 77;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ExitProcess(kLoadedExitCode);
    }
    return TRUE;
}
