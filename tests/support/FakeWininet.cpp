// A wininet.dll such as anyone may drop into a download folder. If the program ever loads it,
// every query fails with kPlantedError, which no real WinINet reports.
#include <windows.h>

namespace {
constexpr DWORD kPlantedError = 0x20000BAD; // the customer bit: never a system error code
}

extern "C" __declspec(dllexport) int plantedMarker() {
    return 1;
}

extern "C" __declspec(dllexport) BOOL WINAPI InternetQueryOptionA(void*, DWORD, void*, DWORD*) {
    SetLastError(kPlantedError);
    return FALSE;
}
