#include "splash/RegionFile.h"

namespace splash {

unsigned readLittleEndian32(const unsigned char* bytes) {
    return static_cast<unsigned>(bytes[0]) | static_cast<unsigned>(bytes[1]) << 8 |
           static_cast<unsigned>(bytes[2]) << 16 | static_cast<unsigned>(bytes[3]) << 24;
}

bool readRegionFile(ReadBytes read, void* context, RegionData& out) {
    out.size = 0;
    unsigned char lengthField[kRegionLengthFieldSize];
    if (!read(context, lengthField, kRegionLengthFieldSize)) {
        return false;
    }
    const unsigned length = readLittleEndian32(lengthField);
    if (length < kRegionHeaderSize || length > kRegionDataCapacity) {
        return false;
    }
    if (!read(context, out.bytes, length)) {
        return false;
    }
    const unsigned count = readLittleEndian32(out.bytes + kRegionCountOffset);
    if (readLittleEndian32(out.bytes + kRegionHeaderSizeOffset) != kRegionHeaderSize ||
        readLittleEndian32(out.bytes + kRegionTypeOffset) != kRegionTypeRectangles || count == 0 ||
        count > (length - kRegionHeaderSize) / kRegionRectSize) {
        return false;
    }
    out.size = length;
    return true;
}

} // namespace splash
