// A winhttp.dll such as anyone may drop into a download folder. If the program ever loads it,
// the machine-wide query fails with kPlantedError, which no real WinHTTP reports.
#include <windows.h>

namespace {
constexpr DWORD kPlantedError = 0x20000BAD; // the customer bit: never a system error code
}

extern "C" __declspec(dllexport) BOOL WINAPI WinHttpGetDefaultProxyConfiguration(void*) {
    SetLastError(kPlantedError);
    return FALSE;
}
