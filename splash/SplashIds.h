#pragma once

// Shared by the resource script and the code, so plain macros that windres understands.

#define QV_SPLASH_DIALOG 101
#define QV_SPLASH_OK 1 /* IDOK: also what Enter on a push button sends */
#define QV_SPLASH_VIEWONLY 1001
#define QV_SPLASH_CANCEL 2 /* IDCANCEL: also what Escape and closing the window send */
