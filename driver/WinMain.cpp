// The detection program on Windows: a GUI-subsystem program that never opens a window, so an
// installer can run it without a console flashing up.
#include "driver/RunDetection.h"
#include "platform/Process.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // First of all: every DLL loaded from here on, by the program or by the system's libraries
    // for it, comes from the system folder and never from the download folder it runs in.
    platform::restrictLibrarySearch();
    return runDetection(commandLine != nullptr ? commandLine : "");
}
