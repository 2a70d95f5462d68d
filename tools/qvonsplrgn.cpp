// Writes the splash plug-in's window shape file from a mask bitmap, so that nobody has to write
// region data by hand.
#include "splash/RegionFile.h"
#include "tools/MaskRegion.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr std::uint32_t kDefaultKey = 0xFF00FF; // magenta

const char kUsage[] =
    "usage: qvonsplrgn MASK.bmp OUTPUT.rgn [RRGGBB]\n"
    "  Pixels of the key colour (default FF00FF, magenta) lie outside the window.\n"
    "  The output is \"qvonsplash.rgn\" for the splash plug-in: a 4-byte length, then the\n"
    "  region data as ExtCreateRegion takes it, at most 1000 bytes (60 rectangles).\n";

bool parseColour(const std::string& text, std::uint32_t& colour) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    colour = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::uint32_t key = kDefaultKey;
    if (argc < 3 || argc > 4 || (argc == 4 && !parseColour(argv[3], key))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "qvonsplrgn: cannot open %s\n", argv[1]);
        return 1;
    }
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    maskregion::Bitmap mask;
    const std::string problem = maskregion::decodeBmp(file, mask);
    if (!problem.empty()) {
        std::fprintf(stderr, "qvonsplrgn: %s: %s\n", argv[1], problem.c_str());
        return 1;
    }
    const std::vector<maskregion::RegionRect> rects = maskregion::shapeRects(mask, key);
    if (rects.empty()) {
        std::fprintf(stderr,
                     "qvonsplrgn: %s: every pixel has the key colour %06X (expected some "
                     "pixels inside the window)\n",
                     argv[1], static_cast<unsigned>(key));
        return 1;
    }
    if (rects.size() > splash::kRegionMaxRects) {
        std::fprintf(stderr,
                     "qvonsplrgn: %s: the shape needs %zu rectangles (expected at most %u; "
                     "use fewer steps in the outline)\n",
                     argv[1], rects.size(), splash::kRegionMaxRects);
        return 1;
    }
    const std::vector<unsigned char> out = maskregion::encodeRegionFile(rects);
    std::ofstream file_out(argv[2], std::ios::binary);
    file_out.write(reinterpret_cast<const char*>(out.data()),
                   static_cast<std::streamsize>(out.size()));
    if (!file_out.flush()) {
        std::fprintf(stderr, "qvonsplrgn: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %zu rectangles, %zu bytes\n", argv[2], rects.size(), out.size());
    return 0;
}
