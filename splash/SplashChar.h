#pragma once

// The plug-in is built once per NSIS flavour from the same sources, as NSIS's own plug-in API
// does with TCHAR: with UNICODE defined the installer's strings are UTF-16 and the dialog calls
// the wide (W) Win32 functions, so paths outside the ANSI code page work; without it, ANSI.

namespace splash {

#ifdef UNICODE
using Char = wchar_t;
#define QV_TEXT(text) L##text
#else
using Char = char;
#define QV_TEXT(text) text
#endif

} // namespace splash
