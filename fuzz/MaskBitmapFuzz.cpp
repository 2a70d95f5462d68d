// The shape tool's mask bitmap: a BMP as any file may be. What decodes turns into rectangles
// that cover exactly the pixels off the key colour, and a region file of them is one the plug-in
// accepts.
//
// Input: the key colour (3 bytes, red first), then the BMP file.
#include "MemoryBytes.h"
#include "Property.h"

#include "splash/RegionFile.h"
#include "tools/MaskRegion.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzzing::require;

constexpr std::size_t kKeyBytes = 3;

void checkRegionFile(const std::vector<maskregion::RegionRect>& rects) {
    if (rects.empty() || rects.size() > splash::kRegionMaxRects) {
        return;
    }
    const std::vector<unsigned char> file = maskregion::encodeRegionFile(rects);
    qvtest::MemoryBytes source{file.data(), file.size()};
    splash::RegionData region{};
    require(splash::readRegionFile(qvtest::readMemoryBytes, &source, region),
            "the plug-in accepts the tool's region file", std::to_string(rects.size()));
    require(splash::readLittleEndian32(region.bytes + splash::kRegionCountOffset) == rects.size(),
            "every rectangle in the file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kKeyBytes) {
        return 0;
    }
    const std::uint32_t key = static_cast<std::uint32_t>(data[0]) << 16 | data[1] << 8 | data[2];
    const std::vector<unsigned char> file(data + kKeyBytes, data + size);
    maskregion::Bitmap mask;
    const std::string problem = maskregion::decodeBmp(file, mask);
    if (!problem.empty()) {
        return 0;
    }
    require(mask.width > 0 && mask.height > 0 &&
                mask.pixels.size() == static_cast<std::size_t>(mask.width) * mask.height,
            "one pixel per place", std::to_string(mask.width) + "x" + std::to_string(mask.height));

    const std::vector<maskregion::RegionRect> rects = maskregion::shapeRects(mask, key);
    std::size_t covered = 0;
    for (const maskregion::RegionRect& r : rects) {
        require(0 <= r.left && r.left < r.right && r.right <= mask.width && 0 <= r.top &&
                    r.top < r.bottom && r.bottom <= mask.height,
                "a rectangle inside the bitmap");
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                require(mask.pixels[static_cast<std::size_t>(y) * mask.width + x] != key,
                        "no key-coloured pixel inside the shape");
            }
        }
        covered += static_cast<std::size_t>(r.right - r.left) * (r.bottom - r.top);
    }
    std::size_t inside = 0;
    for (const std::uint32_t pixel : mask.pixels) {
        inside += pixel != key ? 1 : 0;
    }
    require(covered == inside, "every pixel off the key colour covered once",
            std::to_string(covered) + " of " + std::to_string(inside));
    checkRegionFile(rects);
    return 0;
}
