#include "splash/ImageDirectory.h"

#include "splash/SplashText.h"

namespace splash {

namespace {

void cutAfterLastBackslash(Char* path, unsigned length) {
    unsigned end = 0;
    for (unsigned i = 0; i < length; ++i) {
        if (path[i] == '\\') {
            end = i + 1;
        }
    }
    path[end] = '\0';
}

} // namespace

bool resolveImageDirectory(PopResult popped, Char* directory, ReadModulePath readModulePath) {
    if (popped == PopResult::TooLong) {
        directory[0] = '\0';
        return false;
    }
    if (popped == PopResult::NoStack || directory[0] == '\0') {
        const unsigned written = readModulePath(directory, kPathCapacity);
        if (written == 0 || written >= kPathCapacity) {
            directory[0] = '\0';
            return false;
        }
        directory[written] = '\0';
        cutAfterLastBackslash(directory, written);
    }
    if (textLength(directory) > kLongestImageDirectory) {
        directory[0] = '\0';
        return false;
    }
    return true;
}

bool joinPath(Char* out, const Char* directory, const Char* fileName) {
    const unsigned length = textLength(directory);
    if (!copyText(out, kPathCapacity, directory) ||
        !copyText(out + length, kPathCapacity - length, fileName)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

} // namespace splash
