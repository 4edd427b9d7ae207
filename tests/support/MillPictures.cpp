#include "tests/support/MillPictures.h"

#include <algorithm>
#include <array>
#include <random>

namespace {

void setFirst(PixelBuffer& picture, int x, int y, int level) {
    if (picture.contains(x, y)) picture.pixel(x, y)[0] = std::uint8_t(level);
}

void fillDisc(PixelBuffer& picture, int cx, int cy, int radius, int level) {
    for (int y = cy - radius; y <= cy + radius; ++y) {
        for (int x = cx - radius; x <= cx + radius; ++x) {
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius) {
                setFirst(picture, x, y, level);
            }
        }
    }
}

void fillRect(PixelBuffer& picture, int left, int top, int right, int bottom, int level) {
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) setFirst(picture, x, y, level);
    }
}

void drawShapes(PixelBuffer& picture, std::mt19937& random) {
    const int w = picture.width;
    const int h = picture.height;
    fillRect(picture, 1, 1, w, h, 255);
    std::uniform_int_distribution<int> xs(1, w), ys(1, h), sizes(1, std::max(2, w / 4));
    fillDisc(picture, xs(random), ys(random), sizes(random), 0);
    fillDisc(picture, xs(random), ys(random), sizes(random), 60);
    fillDisc(picture, xs(random), ys(random), sizes(random) / 2, 255);  // a hole
    const int left = xs(random), top = ys(random);
    fillRect(picture, left, top, left + sizes(random), top + sizes(random), 120);
    fillRect(picture, xs(random), ys(random), w, ys(random), 250);  // light: neither spreads
    for (int i = 0; i < 6; ++i) setFirst(picture, xs(random), ys(random), i % 2 ? 30 : 254);
}

void drawRamp(PixelBuffer& picture, std::mt19937& random) {
    std::uniform_int_distribution<int> slopes(0, 6), bases(-60, 120);
    const int sx = slopes(random), sy = slopes(random), base = bases(random);
    for (int y = 1; y <= picture.height; ++y) {
        for (int x = 1; x <= picture.width; ++x) {
            setFirst(picture, x, y, std::clamp(base + sx * x + sy * y, 0, 255));
        }
    }
}

void drawNoise(PixelBuffer& picture, std::mt19937& random) {
    std::uniform_int_distribution<int> levels(0, 255);
    for (int y = 1; y <= picture.height; ++y) {
        for (int x = 1; x <= picture.width; ++x) setFirst(picture, x, y, levels(random));
    }
}

void drawNearThreshold(PixelBuffer& picture, std::mt19937& random) {
    static constexpr std::array kLevels{100, 100, 100, 110, 111, 90, 89, 255, 244, 245, 254, 0};
    std::uniform_int_distribution<std::size_t> pick(0, kLevels.size() - 1);
    for (int y = 1; y <= picture.height; ++y) {
        for (int x = 1; x <= picture.width; ++x) setFirst(picture, x, y, kLevels[pick(random)]);
    }
}

}  // namespace

PixelBuffer drawPicture(PictureKind kind, int width, int height, int bytesPerPixel, unsigned seed) {
    std::mt19937 random(seed);
    PixelBuffer picture = PixelBuffer::white(width, height, bytesPerPixel);
    std::uniform_int_distribution<int> bytes(0, 255);
    for (std::uint8_t& b : picture.bytes) b = std::uint8_t(bytes(random));
    switch (kind) {
        case PictureKind::Shapes:
            drawShapes(picture, random);
            break;
        case PictureKind::GreyRamp:
            drawRamp(picture, random);
            break;
        case PictureKind::Noise:
            drawNoise(picture, random);
            break;
        case PictureKind::NearThreshold:
            drawNearThreshold(picture, random);
            break;
    }
    return picture;
}
