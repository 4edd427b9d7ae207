#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

// The one byte layout in which every raster routine reads and writes a picture layer.
// Rows run from the top of the picture down; each row holds width × bytesPerPixel bytes padded
// to an even count; a pixel's bytes are blue, green, red (and one unused byte for 32-bit
// pixels). Pixels are addressed 1-based: x in 1..width from the left, y in 1..height from the
// top. Pictures are decoded into 32-bit pixels, so bytesPerPixel is 4 in practice.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 4;
    int rowBytes = 0;
    std::vector<std::uint8_t> bytes;

    // bitsPerPixel / 8, rounded half to even.
    static int bytesPerPixelFor(int bitsPerPixel);
    // width × bytesPerPixel, increased by one while odd.
    static int rowBytesFor(int width, int bytesPerPixel);

    // A buffer of the given size, every byte 255 (white).
    static PixelBuffer white(int width, int height, int bytesPerPixel = 4);

    bool isEmpty() const { return width < 1 || height < 1; }
    bool contains(int x, int y) const { return x >= 1 && x <= width && y >= 1 && y <= height; }

    // Byte index of pixel (x, y)'s first byte; the pixel must lie inside the picture.
    std::size_t offset(int x, int y) const {
        return std::size_t(y - 1) * std::size_t(rowBytes) + std::size_t(x - 1) * bytesPerPixel;
    }
    std::uint8_t* pixel(int x, int y) { return bytes.data() + offset(x, y); }
    const std::uint8_t* pixel(int x, int y) const { return bytes.data() + offset(x, y); }
    // The first (blue) byte, the one that tone and level decisions read.
    std::uint8_t first(int x, int y) const { return bytes[offset(x, y)]; }

    // Sets blue, green and red; a fourth byte is left alone.
    void paint(int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
        std::uint8_t* p = pixel(x, y);
        p[0] = blue;
        p[1] = green;
        p[2] = red;
    }
    void paintWhite(int x, int y) { paint(x, y, 255, 255, 255); }

    friend bool operator==(const PixelBuffer&, const PixelBuffer&) = default;
};

// Converts any decoded picture (palette, 16-bit, monochrome, with alpha) into 32-bit pixels.
PixelBuffer pixelBufferFromImage(const QImage& image);

// A QImage that shows the buffer's pixels without copying them; valid while the buffer lives
// and is not resized. Requires bytesPerPixel 4.
QImage imageView(const PixelBuffer& buffer);
