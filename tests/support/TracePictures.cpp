#include "tests/support/TracePictures.h"

#include <algorithm>
#include <random>

namespace {

void setGrey(PixelBuffer& picture, int x, int y, int grey) {
    if (picture.contains(x, y)) {
        const auto byte = std::uint8_t(grey);
        picture.paint(x, y, byte, byte, byte);
    }
}

int darkGrey(std::mt19937& random) {
    return std::uniform_int_distribution<int>(0, 100)(random);
}

int lightGrey(std::mt19937& random) {
    return std::uniform_int_distribution<int>(101, 255)(random);
}

void drawRings(PixelBuffer& picture, std::mt19937& random) {
    std::uniform_int_distribution<int> gap(0, 2), thickness(1, 3);
    int left = 1 + gap(random), top = 1 + gap(random);
    int right = picture.width - gap(random), bottom = picture.height - gap(random);
    bool dark = true;
    while (left <= right && top <= bottom) {
        const int grey = dark ? darkGrey(random) : lightGrey(random);
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) setGrey(picture, x, y, grey);
        const int t = thickness(random);
        left += t;
        top += thickness(random);
        right -= t;
        bottom -= thickness(random);
        dark = !dark;
    }
}

void drawEdgePixels(PixelBuffer& picture, std::mt19937& random) {
    const int w = picture.width, h = picture.height;
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{1, 1}, {w, 1}, {1, h}, {w, h}})
        setGrey(picture, x, y, darkGrey(random));
    std::uniform_int_distribution<int> xs(2, std::max(2, w - 1)), ys(2, std::max(2, h - 1));
    for (int i = 0; i < 3; ++i) {
        setGrey(picture, xs(random), 1, darkGrey(random));
        setGrey(picture, xs(random), h, darkGrey(random));
        setGrey(picture, 1, ys(random), darkGrey(random));
        setGrey(picture, w, ys(random), darkGrey(random));
        setGrey(picture, xs(random), ys(random), darkGrey(random));
    }
}

void drawSpeckle(PixelBuffer& picture, std::mt19937& random) {
    std::bernoulli_distribution dark(0.3);
    for (int y = 1; y <= picture.height; ++y)
        for (int x = 1; x <= picture.width; ++x)
            setGrey(picture, x, y, dark(random) ? darkGrey(random) : lightGrey(random));
}

}  // namespace

PixelBuffer drawTracePicture(TracePicture kind, int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    PixelBuffer picture = PixelBuffer::white(width, height);
    switch (kind) {
        case TracePicture::NestedRings:
            drawRings(picture, random);
            break;
        case TracePicture::EdgePixels:
            drawEdgePixels(picture, random);
            break;
        case TracePicture::Speckle:
            drawSpeckle(picture, random);
            break;
    }
    return picture;
}
