#pragma once

// The window shape file "qvonsplash.rgn": a length, then region data exactly as ExtCreateRegion
// takes it (what GetRegionData yields). All fields little-endian.
//
//   0        4                                  36           52
//   ┌────────┬──────────────────────────────────┬────────────┬─────┐
//   │ N      │ RGNDATAHEADER (32 bytes)         │ RECT 0     │ ... │   N = 32 + 16 * nCount
//   └────────┴──────────────────────────────────┴────────────┴─────┘
//
//   RGNDATAHEADER, offsets from its start:
//   ┌─────────┬─────────┬─────────┬──────────┬──────────────────────────────────────┐
//   │ dwSize  │ iType   │ nCount  │ nRgnSize │ rcBound: left, top, right, bottom    │
//   │ 0: 32   │ 4: 1    │ 8       │ 12       │ 16, 20, 24, 28                       │
//   └─────────┴─────────┴─────────┴──────────┴──────────────────────────────────────┘
//   RECT: left, top, right, bottom as signed 32-bit, in window coordinates.

#include "splash/SplashChar.h"

namespace splash {

constexpr Char kRegionFileName[] = QV_TEXT("qvonsplash.rgn");

constexpr unsigned kRegionLengthFieldSize = 4;
constexpr unsigned kRegionDataCapacity = 1000;
constexpr unsigned kRegionHeaderSize = 32;
constexpr unsigned kRegionRectSize = 16;
constexpr unsigned kRegionTypeRectangles = 1; // RDH_RECTANGLES
constexpr unsigned kRegionHeaderSizeOffset = 0;
constexpr unsigned kRegionTypeOffset = 4;
constexpr unsigned kRegionCountOffset = 8;
constexpr unsigned kRegionSizeOffset = 12;
constexpr unsigned kRegionBoundOffset = 16;
constexpr unsigned kRegionMaxRects = (kRegionDataCapacity - kRegionHeaderSize) / kRegionRectSize;
static_assert(kRegionBoundOffset + kRegionRectSize == kRegionHeaderSize, "header ends at rcBound");
static_assert(kRegionMaxRects == 60, "1000 bytes hold the header and 60 rectangles");

// Reads exactly size bytes into buffer; false when fewer were there or the read failed.
using ReadBytes = bool (*)(void* context, void* buffer, unsigned size);

struct RegionData {
    alignas(4) unsigned char bytes[kRegionDataCapacity];
    unsigned size;
};

// Reads the length and the region data and checks them before anything hands them to the
// system: the length fits the buffer and the file, the header is a rectangle list of its own
// size, and it claims at least one and no more rectangles than the data holds. Returns false
// for anything else; the window then keeps its rectangular shape.
bool readRegionFile(ReadBytes read, void* context, RegionData& out);

unsigned readLittleEndian32(const unsigned char* bytes);

} // namespace splash
