// The splash's window shape file, read as the plug-in reads it before handing the data to the
// system: what it accepts is a rectangle list whose claimed rectangles all lie in the data.
#include "Property.h"

#include "splash/RegionFile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

bool readExactly(void* context, void* buffer, unsigned size) {
    auto& source = *static_cast<Source*>(context);
    if (source.size - source.at < size) {
        return false;
    }
    std::memcpy(buffer, source.data + source.at, size);
    source.at += size;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace splash;
    Source source{data, size, 0};
    RegionData region{};
    if (!readRegionFile(readExactly, &source, region)) {
        return 0;
    }
    const unsigned count = readLittleEndian32(region.bytes + kRegionCountOffset);
    fuzzing::require(region.size >= kRegionHeaderSize && region.size <= kRegionDataCapacity &&
                         region.size + kRegionLengthFieldSize <= size,
                     "region data within the buffer and the file", std::to_string(region.size));
    fuzzing::require(count >= 1 && count <= kRegionMaxRects &&
                         kRegionHeaderSize + count * kRegionRectSize <= region.size,
                     "every claimed rectangle within the data", std::to_string(count));
    return 0;
}
