// Bytes in memory handed out as the splash plug-in reads its window shape file: exactly the size
// asked for, or nothing and false. Header-only, so that the fuzz targets share it without linking
// the test support.
#pragma once

#include <cstddef>
#include <cstring>

namespace qvtest {

struct MemoryBytes {
    const unsigned char* data;
    std::size_t size;
    std::size_t at = 0;
};

// Matches splash::ReadBytes; `context` is a MemoryBytes.
inline bool readMemoryBytes(void* context, void* buffer, unsigned size) {
    auto& source = *static_cast<MemoryBytes*>(context);
    if (source.size - source.at < size) {
        return false;
    }
    std::memcpy(buffer, source.data + source.at, size);
    source.at += size;
    return true;
}

} // namespace qvtest
