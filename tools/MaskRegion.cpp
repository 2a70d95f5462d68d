#include "tools/MaskRegion.h"

#include "splash/RegionFile.h"

#include <algorithm>
#include <cstdio>

namespace maskregion {

namespace {

// BITMAPFILEHEADER (14 bytes) then BITMAPINFOHEADER (40 bytes or a later, longer version):
//   0 "BM" | 2 file size | 6 reserved | 10 offset of the pixels
//   14 header size | 18 width | 22 height (negative: top-down) | 26 planes | 28 bits per pixel
//   30 compression (0: none, 3: bit fields) | 34 image size | ...
// With bit fields the red, green and blue masks follow at 54, inside a longer header (as image
// tools write it, ImageMagick by default) or after the 40-byte one.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderMinSize = 40;
constexpr std::size_t kPixelOffsetAt = 10;
constexpr std::size_t kInfoSizeAt = 14;
constexpr std::size_t kWidthAt = 18;
constexpr std::size_t kHeightAt = 22;
constexpr std::size_t kBitsAt = 28;
constexpr std::size_t kCompressionAt = 30;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::size_t kMasksAt = kFileHeaderSize + kInfoHeaderMinSize;
constexpr int kChannels = 3;
constexpr std::uint32_t kChannelMax = 0xFF;
constexpr const char* kConversion =
    "; save it as an uncompressed 24- or 32-bit BMP, for example with "
    "\"magick IN BMP3:OUT.bmp\"";
constexpr int kMaxSide = 1 << 15;

std::uint32_t u32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint32_t u32at24(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16;
}

std::uint16_t u16(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

void putU32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// Where each colour lies in a pixel: its shift, for masks of eight contiguous bits.
struct Channels {
    int shift[kChannels];
};

// Without bit fields a pixel is stored blue, green, red from its first byte.
constexpr Channels kPlainChannels = {{16, 8, 0}};

bool readBitFields(const std::vector<unsigned char>& file, Channels& channels,
                   std::string& problem) {
    if (file.size() < kMasksAt + kChannels * 4) {
        problem = "bit field masks cut short";
        return false;
    }
    std::string masks;
    bool usable = true;
    for (int c = 0; c < kChannels; ++c) {
        const std::uint32_t mask = u32(file, kMasksAt + 4 * c);
        int shift = 0;
        while (shift < 24 && (mask >> shift & 1u) == 0) {
            ++shift;
        }
        usable = usable && mask == kChannelMax << shift;
        channels.shift[c] = shift;
        char text[12];
        std::snprintf(text, sizeof text, " %08X", static_cast<unsigned>(mask));
        masks += text;
    }
    if (!usable) {
        problem = "bit field masks" + masks + " (expected 8 bits a colour)" + kConversion;
    }
    return usable;
}

using Runs = std::vector<std::pair<int, int>>;

Runs rowRuns(const Bitmap& mask, int y, std::uint32_t key) {
    Runs runs;
    const std::uint32_t* row = &mask.pixels[static_cast<std::size_t>(y) * mask.width];
    for (int x = 0; x < mask.width;) {
        if (row[x] == key) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < mask.width && row[x] != key) {
            ++x;
        }
        runs.emplace_back(start, x);
    }
    return runs;
}

} // namespace

// Where the rows lie in the file and how a pixel is stored there.
struct PixelLayout {
    std::size_t offset;
    std::size_t stride;
    int bits;
    bool topDown;
};

// Fills `out` (its width and height set) with 0xRRGGBB colours, top row first.
void copyPixels(const std::vector<unsigned char>& file, const PixelLayout& layout,
                const Channels& channels, Bitmap& out) {
    const std::size_t bytesPerPixel = layout.bits / 8;
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y) {
        const std::size_t fileRow = layout.topDown ? y : out.height - 1 - y;
        const unsigned char* p = &file[layout.offset + fileRow * layout.stride];
        for (int x = 0; x < out.width; ++x, p += bytesPerPixel) {
            const std::uint32_t stored =
                layout.bits == 32 ? u32(file, p - file.data()) : u32at24(p);
            std::uint32_t colour = 0;
            for (int c = 0; c < kChannels; ++c) {
                colour = colour << 8 | (stored >> channels.shift[c] & kChannelMax);
            }
            out.pixels[static_cast<std::size_t>(y) * out.width + x] = colour;
        }
    }
}

std::string decodeBmp(const std::vector<unsigned char>& file, Bitmap& out) {
    if (file.size() < kFileHeaderSize + kInfoHeaderMinSize || file[0] != 'B' || file[1] != 'M') {
        return "not a BMP file (expected \"BM\" and a 40-byte header)";
    }
    if (u32(file, kInfoSizeAt) < kInfoHeaderMinSize) {
        return "info header of " + std::to_string(u32(file, kInfoSizeAt)) +
               " bytes (expected at least 40)";
    }
    const auto width = static_cast<std::int32_t>(u32(file, kWidthAt));
    const auto rawHeight = static_cast<std::int32_t>(u32(file, kHeightAt));
    const int bits = u16(file, kBitsAt);
    if (bits != 24 && bits != 32) {
        return std::to_string(bits) + " bits per pixel (expected 24 or 32)" + kConversion;
    }
    const std::uint32_t compression = u32(file, kCompressionAt);
    Channels channels = kPlainChannels;
    if (compression == kCompressionBitFields && bits == 32) {
        std::string problem;
        if (!readBitFields(file, channels, problem)) {
            return problem;
        }
    } else if (compression != kCompressionNone) {
        return "compression " + std::to_string(compression) + " with " + std::to_string(bits) +
               " bits (expected 0, none, or 3, bit fields, with 32 bits)" + kConversion;
    }
    const bool topDown = rawHeight < 0;
    const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return "size " + std::to_string(width) + " x " + std::to_string(rawHeight) +
               " (expected 1 to 32768 each way)";
    }
    const std::size_t bytesPerPixel = bits / 8;
    const std::size_t stride = (width * bytesPerPixel + 3) & ~std::size_t{3};
    const std::size_t offset = u32(file, kPixelOffsetAt);
    if (offset > file.size() ||
        (file.size() - offset) / stride < static_cast<std::size_t>(height)) {
        return "pixel data cut short: " + std::to_string(file.size()) + " bytes in the file";
    }
    out.width = width;
    out.height = static_cast<int>(height);
    copyPixels(file, {offset, stride, bits, topDown}, channels, out);
    return "";
}

std::vector<RegionRect> shapeRects(const Bitmap& mask, std::uint32_t keyColour) {
    std::vector<RegionRect> rects;
    Runs band;
    int bandTop = 0;
    auto closeBand = [&](int bandBottom) {
        for (const auto& [left, right] : band) {
            rects.push_back({left, bandTop, right, bandBottom});
        }
    };
    for (int y = 0; y < mask.height; ++y) {
        Runs runs = rowRuns(mask, y, keyColour);
        if (runs != band) {
            closeBand(y);
            band = std::move(runs);
            bandTop = y;
        }
    }
    closeBand(mask.height);
    return rects;
}

std::vector<unsigned char> encodeRegionFile(const std::vector<RegionRect>& rects) {
    using namespace splash;
    const std::size_t dataSize = kRegionHeaderSize + kRegionRectSize * rects.size();
    std::vector<unsigned char> out(kRegionLengthFieldSize + dataSize, 0);
    RegionRect bound = {0, 0, 0, 0};
    if (!rects.empty()) {
        bound = rects.front();
        for (const RegionRect& r : rects) {
            bound.left = std::min(bound.left, r.left);
            bound.top = std::min(bound.top, r.top);
            bound.right = std::max(bound.right, r.right);
            bound.bottom = std::max(bound.bottom, r.bottom);
        }
    }
    const std::size_t header = kRegionLengthFieldSize;
    putU32(out, 0, static_cast<std::uint32_t>(dataSize));
    putU32(out, header + kRegionHeaderSizeOffset, kRegionHeaderSize);
    putU32(out, header + kRegionTypeOffset, kRegionTypeRectangles);
    putU32(out, header + kRegionCountOffset, static_cast<std::uint32_t>(rects.size()));
    putU32(out, header + kRegionSizeOffset,
           static_cast<std::uint32_t>(kRegionRectSize * rects.size()));
    auto putRect = [&](std::size_t at, const RegionRect& r) {
        putU32(out, at, static_cast<std::uint32_t>(r.left));
        putU32(out, at + 4, static_cast<std::uint32_t>(r.top));
        putU32(out, at + 8, static_cast<std::uint32_t>(r.right));
        putU32(out, at + 12, static_cast<std::uint32_t>(r.bottom));
    };
    putRect(header + kRegionBoundOffset, bound);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        putRect(header + kRegionHeaderSize + i * kRegionRectSize, rects[i]);
    }
    return out;
}

} // namespace maskregion
