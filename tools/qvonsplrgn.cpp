// Writes the splash plug-in's window shape file from a mask bitmap, so that nobody has to write
// region data by hand.
#include "splash/RegionFile.h"
#include "tools/MaskRegion.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kDefaultKey = 0xFF00FF; // magenta

const char kUsage[] =
    "usage: qvonsplrgn MASK.bmp OUTPUT.rgn [RRGGBB]\n"
    "  Pixels of the key colour (default FF00FF, magenta) lie outside the window.\n"
    "  The output is \"qvonsplash.rgn\" for the splash plug-in: a 4-byte length, then the\n"
    "  region data as ExtCreateRegion takes it, at most 1000 bytes (60 rectangles).\n";

// C streams rather than C++ ones: the tool ships in the kit, and iostreams would make it several
// times larger.
bool readFile(const char* path, std::vector<unsigned char>& out) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    unsigned char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        out.insert(out.end(), chunk, chunk + got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool writeFile(const char* path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

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
    std::vector<unsigned char> file;
    if (!readFile(argv[1], file)) {
        std::fprintf(stderr, "qvonsplrgn: cannot open %s\n", argv[1]);
        return 1;
    }
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
    if (!writeFile(argv[2], out)) {
        std::fprintf(stderr, "qvonsplrgn: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %zu rectangles, %zu bytes\n", argv[2], rects.size(), out.size());
    return 0;
}
