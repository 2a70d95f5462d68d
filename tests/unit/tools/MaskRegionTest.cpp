#include "MemoryBytes.h"

#include "splash/RegionFile.h"
#include "tools/MaskRegion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

using maskregion::Bitmap;
using maskregion::RegionRect;

// Found by argument-dependent lookup, so they live in the namespace of the type.
namespace maskregion {
bool operator==(const RegionRect& a, const RegionRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& out, const RegionRect& r) {
    return out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

} // namespace maskregion

namespace {

void put32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::vector<RegionRect> stripes(int count) {
    std::vector<RegionRect> rects;
    for (int i = 0; i < count; ++i) {
        rects.push_back({0, i, 10, i + 1});
    }
    return rects;
}

TEST(RegionFileTest, OnlyACompleteRectangleListWithinTheBufferIsAccepted) {
    using namespace splash;
    const auto valid = maskregion::encodeRegionFile(stripes(3));
    struct Row {
        const char* what;
        std::vector<unsigned char> file;
        bool accepted;
    };
    std::vector<Row> rows = {
        {"as the region tool writes it", valid, true},
        {"the most rectangles that fit", maskregion::encodeRegionFile(stripes(60)), true},
        {"trailing bytes after the data are ignored", valid, true},
        {"one rectangle more than 1000 bytes hold", maskregion::encodeRegionFile(stripes(61)),
         false},
        {"an empty file", {}, false},
        {"the length field cut short", {0x30, 0x00}, false},
        {"a length beyond what the file holds", valid, false},
        {"a length beyond 1000", valid, false},
        {"a huge length", valid, false},
        {"a length shorter than the header", valid, false},
        {"more rectangles than the data holds", valid, false},
        {"a rectangle count that wraps around when multiplied", valid, false},
        {"no rectangles", maskregion::encodeRegionFile({}), false},
        {"a header of another size", valid, false},
        {"another region type", valid, false},
    };
    rows[2].file.insert(rows[2].file.end(), 40, 0xEE);
    put32(rows[6].file, 0, static_cast<std::uint32_t>(valid.size() - 4 + 1));
    put32(rows[7].file, 0, 1004);
    rows[7].file.resize(4 + 1004);
    put32(rows[8].file, 0, 0xFFFFFFF0u);
    put32(rows[9].file, 0, kRegionHeaderSize - 1);
    put32(rows[10].file, 4 + kRegionCountOffset, 4);
    put32(rows[11].file, 4 + kRegionCountOffset, 0x10000001u);
    put32(rows[13].file, 4 + kRegionHeaderSizeOffset, 40);
    put32(rows[14].file, 4 + kRegionTypeOffset, 2);

    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        qvtest::MemoryBytes source{row.file.data(), row.file.size()};
        RegionData data;
        const bool accepted = readRegionFile(qvtest::readMemoryBytes, &source, data);
        EXPECT_EQ(row.accepted, accepted);
        if (accepted) {
            EXPECT_EQ(readLittleEndian32(row.file.data()), data.size);
            EXPECT_EQ(0, std::memcmp(row.file.data() + 4, data.bytes, data.size));
        } else {
            EXPECT_EQ(0u, data.size);
        }
    }
}

// Where a bit-field BMP keeps each colour: red, green and blue masks, as its header lists them.
using Masks = std::vector<std::uint32_t>;
const Masks kImageMagickMasks = {0xFF0000, 0xFF00, 0xFF};

// A BMP of the given pixels (0xRRGGBB, rows from the top) as image tools save it: with `masks`,
// 32 bits with bit fields after an info header of `infoSize` bytes.
std::vector<unsigned char> bmp(int width, const std::vector<std::uint32_t>& pixels, int bits,
                               bool topDown, const Masks& masks = {}, std::uint32_t infoSize = 40) {
    const int height = static_cast<int>(pixels.size()) / width;
    const int bytes = bits / 8;
    const int stride = (width * bytes + 3) & ~3;
    const std::size_t offset = 14 + std::max<std::size_t>(infoSize, 40 + 4 * masks.size());
    std::vector<unsigned char> file(offset + static_cast<std::size_t>(stride) * height, 0);
    file[0] = 'B';
    file[1] = 'M';
    put32(file, 2, static_cast<std::uint32_t>(file.size()));
    put32(file, 10, static_cast<std::uint32_t>(offset));
    put32(file, 14, infoSize);
    put32(file, 18, static_cast<std::uint32_t>(width));
    put32(file, 22, static_cast<std::uint32_t>(topDown ? -height : height));
    file[26] = 1;
    file[28] = static_cast<unsigned char>(bits);
    const Masks channels = masks.empty() ? kImageMagickMasks : masks;
    if (!masks.empty()) {
        file[30] = 3;
        for (std::size_t c = 0; c < masks.size(); ++c) {
            put32(file, 54 + 4 * c, masks[c]);
        }
    }
    for (int y = 0; y < height; ++y) {
        const int row = topDown ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            std::uint32_t stored = 0;
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t mask = channels[c];
                const std::uint32_t shift = mask >= 0x1000000 ? 24
                                            : mask >= 0x10000 ? 16
                                            : mask >= 0x100   ? 8
                                                              : 0;
                stored |= (p >> (16 - 8 * c) & 0xFF) << shift;
            }
            unsigned char* at = &file[offset + static_cast<std::size_t>(row) * stride + x * bytes];
            for (int b = 0; b < bytes; ++b) {
                at[b] = static_cast<unsigned char>(stored >> (8 * b));
            }
        }
    }
    return file;
}

constexpr std::uint32_t K = 0xFF00FF; // key colour
constexpr std::uint32_t I = 0x123456; // inside
// 3 x 3 with the top-left corner cut and a notch in the bottom row: pixels of three rows.
const std::vector<std::uint32_t> kNotched = {K, I, I, I, I, I, I, K, I};

TEST(MaskRegionTest, DecodesTheBitmapFormatsOfImageTools) {
    struct Row {
        int bits;
        bool topDown;
        Masks masks;
        std::uint32_t infoSize;
    } rows[] = {
        {24, false, {}, 40},
        {24, true, {}, 40},
        {32, false, {}, 40},
        {32, true, {}, 40},
        {32, false, kImageMagickMasks, 124}, // ImageMagick's default
        {32, true, kImageMagickMasks, 108},
        {32, false, kImageMagickMasks, 40}, // the masks after the short header
        {32, false, {0xFF00, 0xFF0000, 0xFF000000}, 124},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.bits) + (row.topDown ? " top-down" : " bottom-up") +
                     (row.masks.empty() ? "" : ", bit fields") + ", header " +
                     std::to_string(row.infoSize));
        Bitmap decoded;
        ASSERT_EQ("",
                  maskregion::decodeBmp(
                      bmp(3, kNotched, row.bits, row.topDown, row.masks, row.infoSize), decoded));
        EXPECT_EQ(3, decoded.width);
        EXPECT_EQ(3, decoded.height);
        EXPECT_EQ(kNotched, decoded.pixels);
    }
}

TEST(MaskRegionTest, RefusesWhatItCannotRead) {
    const auto good = bmp(3, kNotched, 24, false);
    struct Row {
        const char* what;
        std::vector<unsigned char> file;
        std::string message;
    };
    std::vector<Row> rows = {
        {"empty", {}, "not a BMP file"},
        {"another format", good, "not a BMP file"},
        {"8 bits per pixel", good, "8 bits per pixel (expected 24 or 32)"},
        {"compressed", good,
         "compression 1 with 24 bits (expected 0, none, or 3, bit fields, with 32 bits); save it "
         "as an uncompressed 24- or 32-bit BMP, for example with \"magick IN BMP3:OUT.bmp\""},
        {"bit fields of 24 bits", good, "compression 3 with 24 bits"},
        {"bit fields of 5 bits a colour", bmp(3, kNotched, 32, false, {0x7C00, 0x3E0, 0x1F}),
         "bit field masks 00007C00 000003E0 0000001F (expected 8 bits a colour); save it"},
        {"bit field masks cut short", {}, "bit field masks cut short"},
        {"pixels cut short", good, "pixel data cut short"},
        {"zero width", good, "size 0 x 3"},
        {"pixel offset beyond the end", good, "pixel data cut short"},
    };
    rows[1].file[0] = 'P';
    rows[2].file[28] = 8;
    rows[3].file[30] = 1;
    rows[4].file[30] = 3;
    rows[6].file = bmp(1, {I}, 32, false, kImageMagickMasks);
    rows[6].file.resize(60);
    rows[7].file.resize(good.size() - 1);
    put32(rows[8].file, 18, 0);
    put32(rows[9].file, 10, 0xFFFFFF00u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Bitmap decoded;
        EXPECT_NE(std::string::npos, maskregion::decodeBmp(row.file, decoded).find(row.message));
    }
}

TEST(MaskRegionTest, TheInsideBecomesBandsOfRectangles) {
    struct Row {
        const char* what;
        int width;
        std::vector<std::uint32_t> pixels;
        std::vector<RegionRect> rects;
    };
    const Row rows[] = {
        {"all inside", 2, {I, I, I, I}, {{0, 0, 2, 2}}},
        {"all outside", 2, {K, K, K, K}, {}},
        {"cut corner and notch",
         3,
         kNotched,
         {{1, 0, 3, 1}, {0, 1, 3, 2}, {0, 2, 1, 3}, {2, 2, 3, 3}}},
        {"equal rows merge into one band",
         3,
         {K, I, K, K, I, K, I, I, I, I, I, I},
         {{1, 0, 2, 2}, {0, 2, 3, 4}}},
        {"a hole splits a row", 5, {I, I, K, I, I}, {{0, 0, 2, 1}, {3, 0, 5, 1}}},
        {"another colour than the key is inside", 2, {0xFF00FE, K}, {{0, 0, 1, 1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Bitmap mask;
        mask.width = row.width;
        mask.height = static_cast<int>(row.pixels.size()) / row.width;
        mask.pixels = row.pixels;
        EXPECT_EQ(row.rects, maskregion::shapeRects(mask, K));
    }
}

TEST(MaskRegionTest, TheFileHoldsTheLengthAndAHeaderAsGetRegionDataWritesIt) {
    using namespace splash;
    const std::vector<RegionRect> rects = {{1, 0, 3, 1}, {0, 1, 3, 2}};
    const auto file = maskregion::encodeRegionFile(rects);
    ASSERT_EQ(4u + 32 + 2 * 16, file.size());
    const unsigned char* data = file.data() + 4;
    EXPECT_EQ(64u, readLittleEndian32(file.data()));
    EXPECT_EQ(32u, readLittleEndian32(data + kRegionHeaderSizeOffset));
    EXPECT_EQ(1u, readLittleEndian32(data + kRegionTypeOffset));
    EXPECT_EQ(2u, readLittleEndian32(data + kRegionCountOffset));
    EXPECT_EQ(32u, readLittleEndian32(data + kRegionSizeOffset));
    const unsigned bound[] = {0, 0, 3, 2};
    const unsigned second[] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bound[i], readLittleEndian32(data + kRegionBoundOffset + 4 * i));
        EXPECT_EQ(second[i], readLittleEndian32(data + 32 + 16 + 4 * i));
    }
}

#ifdef _WIN32
// What the tool writes is what the system takes: the region ExtCreateRegion builds from the file
// covers exactly the mask's inside.
TEST(MaskRegionTest, ExtCreateRegionTakesTheFileAndCoversTheInside) {
    Bitmap mask;
    ASSERT_EQ("", maskregion::decodeBmp(bmp(3, kNotched, 24, false), mask));
    const std::vector<unsigned char> file =
        maskregion::encodeRegionFile(maskregion::shapeRects(mask, K));
    qvtest::MemoryBytes source{file.data(), file.size()};
    splash::RegionData data;
    ASSERT_TRUE(splash::readRegionFile(qvtest::readMemoryBytes, &source, data));
    const HRGN region = ExtCreateRegion(nullptr, data.size, reinterpret_cast<RGNDATA*>(data.bytes));
    ASSERT_NE(nullptr, region);
    for (int y = -1; y <= 3; ++y) {
        for (int x = -1; x <= 3; ++x) {
            const bool inside = x >= 0 && y >= 0 && x < 3 && y < 3 && kNotched[y * 3 + x] != K;
            EXPECT_EQ(inside, PtInRegion(region, x, y) != FALSE) << x << "," << y;
        }
    }
    DeleteObject(region);
}
#endif

} // namespace
