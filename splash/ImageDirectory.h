#pragma once

// Where the dialog finds its images: the directory popped from the installer's stack, or the
// installer program's own directory when nothing (or an empty text) was popped. The directory is
// a prefix, so it ends with a backslash.

#include "splash/NsisStack.h"

namespace splash {

// Every path the dialog builds (directory + file name + terminator) fits in this many characters.
constexpr unsigned kPathCapacity = 260;
// The longest file name looked up in the image directory ("qvonsplash.bmp", "qvonsplash.ini").
constexpr unsigned kLongestImageFileName = 14;
constexpr unsigned kLongestImageDirectory = kPathCapacity - 1 - kLongestImageFileName;

// Writes the running program's full path into out[capacity]; returns the characters written,
// which equals capacity when the path was cut short (as GetModuleFileNameA does).
using ReadModulePath = unsigned (*)(Char* out, unsigned capacity);

// Completes directory[kPathCapacity] after the pop and says whether it can be used. An unusable
// directory (too long for the paths built from it, or a program path that did not fit) is left
// empty: then no image and no settings file is read at all, rather than files from a cut-off
// path that may name some other directory.
bool resolveImageDirectory(PopResult popped, Char* directory, ReadModulePath readModulePath);

// out[kPathCapacity] = directory + fileName; false (and out empty) when it would not fit.
bool joinPath(Char* out, const Char* directory, const Char* fileName);

} // namespace splash
