// The detection program on Windows: a GUI-subsystem program that never opens a window, so an
// installer can run it without a console flashing up.
#include "driver/RunDetection.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return runDetection(commandLine != nullptr ? commandLine : "");
}
