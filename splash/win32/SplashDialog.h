#pragma once

#include "splash/SplashChar.h"

#include <windows.h>

namespace splash {

// Runs the modal splash dialog and returns what it ended with (1, 2, 3), or -1 when it could not
// be created. directory is the image directory with its trailing backslash, or null when none
// can be used; then the dialog shows without images, in the size its template gives.
INT_PTR runSplashDialog(HINSTANCE module, const Char* directory);

} // namespace splash
