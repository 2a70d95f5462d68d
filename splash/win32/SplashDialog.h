#pragma once

#include "splash/SplashChar.h"

#include <windows.h>

namespace splash {

// Runs the modal splash dialog and returns what it ended with (1, 2, 3), or -1 when it could not
// be created. directory is the image directory with its trailing backslash, or null when none
// can be used; then the dialog shows without images, in the size its template gives. installer
// is the installer's window (null before it has one): its caption names the dialog when the skin
// does not, and the dialog is centred on its monitor. It does not own the dialog.
INT_PTR runSplashDialog(HINSTANCE module, const Char* directory, HWND installer);

} // namespace splash
