#include "proxy/wire/Base64.h"

#include <cstdint>

namespace base64 {

namespace {

constexpr const char* kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr std::size_t kGroupBytes = 3;
constexpr std::size_t kGroupChars = 4;
constexpr int kNotInAlphabet = -1;

int valueOf(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return kNotInAlphabet;
}

} // namespace

std::string encode(const std::string& bytes) {
    std::string text;
    text.reserve((bytes.size() + kGroupBytes - 1) / kGroupBytes * kGroupChars);
    for (std::size_t i = 0; i < bytes.size(); i += kGroupBytes) {
        const std::size_t count = bytes.size() - i < kGroupBytes ? bytes.size() - i : kGroupBytes;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < kGroupBytes; ++k) {
            group = (group << 8) | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < kGroupChars; ++k) {
            text += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : kPad;
        }
    }
    return text;
}

bool decode(const std::string& text, std::string& bytes) {
    if (text.size() % kGroupChars != 0) {
        return false;
    }
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); i += kGroupChars) {
        const bool last = i + kGroupChars == text.size();
        std::uint32_t group = 0;
        std::size_t pads = 0;
        for (std::size_t k = 0; k < kGroupChars; ++k) {
            const char c = text[i + k];
            if (c == kPad && last && k >= 2 &&
                (pads > 0 || k + 1 == kGroupChars || text[i + k + 1] == kPad)) {
                ++pads;
                group <<= 6;
                continue;
            }
            const int value = valueOf(c);
            if (value == kNotInAlphabet || pads > 0) {
                return false;
            }
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        for (std::size_t k = 0; k < kGroupBytes - pads; ++k) {
            decoded += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
        }
    }
    bytes = decoded;
    return true;
}

} // namespace base64
