#include "figures/PixelBuffer.h"

#include <cmath>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "RGB32 pixels are read as blue, green, red bytes");

int PixelBuffer::bytesPerPixelFor(int bitsPerPixel) {
    return int(std::nearbyint(bitsPerPixel / 8.0));
}

int PixelBuffer::rowBytesFor(int width, int bytesPerPixel) {
    int row = width * bytesPerPixel;
    while (row % 2 != 0) ++row;
    return row;
}

PixelBuffer PixelBuffer::white(int width, int height, int bytesPerPixel) {
    PixelBuffer buffer;
    buffer.width = width;
    buffer.height = height;
    buffer.bytesPerPixel = bytesPerPixel;
    buffer.rowBytes = rowBytesFor(width, bytesPerPixel);
    buffer.bytes.assign(std::size_t(buffer.rowBytes) * std::size_t(height), 255);
    return buffer;
}

PixelBuffer pixelBufferFromImage(const QImage& image) {
    PixelBuffer buffer;
    if (image.isNull()) return buffer;
    // RGB32 stores each pixel as 0xffRRGGBB in native order: on a little-endian machine the
    // bytes are blue, green, red, 255, exactly the layout above.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    buffer.width = rgb.width();
    buffer.height = rgb.height();
    buffer.bytesPerPixel = 4;
    buffer.rowBytes = PixelBuffer::rowBytesFor(buffer.width, 4);
    buffer.bytes.resize(std::size_t(buffer.rowBytes) * std::size_t(buffer.height));
    for (int y = 0; y < buffer.height; ++y) {
        std::memcpy(buffer.bytes.data() + std::size_t(y) * buffer.rowBytes, rgb.constScanLine(y),
                    std::size_t(buffer.width) * 4);
    }
    return buffer;
}

QImage imageView(const PixelBuffer& buffer) {
    if (buffer.isEmpty() || buffer.bytesPerPixel != 4) return {};
    return QImage(buffer.bytes.data(), buffer.width, buffer.height, buffer.rowBytes,
                  QImage::Format_RGB32);
}
