#pragma once

// Turns a mask bitmap into the window shape file of the splash plug-in. Pixels of the key colour
// lie outside the window; every other pixel is inside.

#include <cstdint>
#include <string>
#include <vector>

namespace maskregion {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB, rows from the top
};

struct RegionRect {
    int left;
    int top;
    int right;
    int bottom;
};

// Decodes an uncompressed 24- or 32-bit BMP (bottom-up or top-down). Returns "" on success, else
// what was wrong with the file.
std::string decodeBmp(const std::vector<unsigned char>& file, Bitmap& out);

// The inside of the mask as rectangles sorted in bands from the top, left to right, with rows
// that have the same runs merged into one band: the form GetRegionData yields.
std::vector<RegionRect> shapeRects(const Bitmap& mask, std::uint32_t keyColour);

// The region file's bytes: the length of the region data, then the data. The caller checks that
// the rectangles fit the plug-in's buffer.
std::vector<unsigned char> encodeRegionFile(const std::vector<RegionRect>& rects);

} // namespace maskregion
