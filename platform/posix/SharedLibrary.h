// The optional system libraries that the Linux build opens at run time (libproxy, the Kerberos
// GSSAPI library), so that the program neither builds nor runs against them.
#pragma once

#include <dlfcn.h>

namespace platform::posix {

// The symbol `name` of an opened library as `Symbol`; null when the library has none.
template <typename Symbol>
Symbol lookUp(void* library, const char* name) {
    return reinterpret_cast<Symbol>(dlsym(library, name));
}

} // namespace platform::posix
