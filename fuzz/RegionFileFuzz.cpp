// The splash's window shape file, read as the plug-in reads it before handing the data to the
// system: what it accepts is a rectangle list whose claimed rectangles all lie in the data.
#include "MemoryBytes.h"
#include "Property.h"

#include "splash/RegionFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace splash;
    qvtest::MemoryBytes source{data, size};
    RegionData region{};
    if (!readRegionFile(qvtest::readMemoryBytes, &source, region)) {
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
