#include "figures/BmpChannels.h"

#include <bit>

#include "figures/BmpFields.h"

namespace {

constexpr int kBitCountOffset = 28;
constexpr int kCompressionOffset = 30;
// The red, green and blue masks follow the 40-byte header; larger headers hold them there too.
constexpr int kMasksOffset = 54;
static_assert(kBmpHeaderBytes == kMasksOffset + 12);

quint32 read32(const QByteArray& bytes, int offset) {
    return readBmpField(bytes, offset, 4);
}

}  // namespace

std::optional<std::array<int, 3>> shortBmpChannels(const QByteArray& header) {
    if (header.size() < kBmpHeaderBytes || !header.startsWith("BM")) return std::nullopt;
    const quint32 bitCount = readBmpField(header, kBitCountOffset, 2);
    const quint32 compression = read32(header, kCompressionOffset);
    std::array<int, 3> bits{8, 8, 8};
    if (bitCount == 16 && compression == kBmpPlainRgb) {
        bits = {5, 5, 5};
    } else if ((bitCount == 16 || bitCount == 32) &&
               (compression == kBmpBitFields || compression == kBmpAlphaBitFields)) {
        const quint32 red = read32(header, kMasksOffset);
        const quint32 green = read32(header, kMasksOffset + 4);
        const quint32 blue = read32(header, kMasksOffset + 8);
        bits = {std::popcount(blue), std::popcount(green), std::popcount(red)};
    }
    for (const int b : bits)
        if (b >= 1 && b < 8) return bits;
    return std::nullopt;
}

void expandShortChannels(PixelBuffer& picture, const std::array<int, 3>& bits) {
    std::array<std::array<std::uint8_t, 256>, 3> spread;
    for (int c = 0; c < 3; ++c) {
        const int n = bits[c];
        for (int v = 0; v < 256; ++v) {
            if (n < 1 || n >= 8) {
                spread[c][v] = std::uint8_t(v);
                continue;
            }
            const int top = (1 << n) - 1;
            const int value = v >> (8 - n);
            spread[c][v] = std::uint8_t((value * 255 + top / 2) / top);
        }
    }
    for (int y = 1; y <= picture.height; ++y) {
        std::uint8_t* p = picture.pixel(1, y);
        for (int x = 0; x < picture.width; ++x, p += picture.bytesPerPixel)
            for (int c = 0; c < 3; ++c) p[c] = spread[c][p[c]];
    }
}
