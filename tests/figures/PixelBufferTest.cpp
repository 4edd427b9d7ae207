#include <gtest/gtest.h>

#include <QImage>

#include "figures/PixelBuffer.h"

TEST(PixelBuffer, RowsArePaddedToAnEvenByteCount) {
    EXPECT_EQ(PixelBuffer::rowBytesFor(5, 3), 16);
    EXPECT_EQ(PixelBuffer::rowBytesFor(4, 3), 12);
    EXPECT_EQ(PixelBuffer::rowBytesFor(5, 4), 20);
    EXPECT_EQ(PixelBuffer::bytesPerPixelFor(24), 3);
    EXPECT_EQ(PixelBuffer::bytesPerPixelFor(32), 4);
    EXPECT_EQ(PixelBuffer::bytesPerPixelFor(4), 0);   // 0.5 rounds to even
    EXPECT_EQ(PixelBuffer::bytesPerPixelFor(12), 2);  // 1.5 rounds to even
}

TEST(PixelBuffer, DecodedPixelsAreBlueGreenRedFromTheTopLeft) {
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(Qt::white);
    image.setPixel(1, 0, qRgb(10, 20, 30));  // pixel (2, 1)
    image.setPixel(2, 1, qRgb(40, 50, 60));  // pixel (3, 2)
    const PixelBuffer buffer = pixelBufferFromImage(image);
    ASSERT_EQ(buffer.width, 3);
    ASSERT_EQ(buffer.height, 2);
    EXPECT_EQ(buffer.rowBytes, 12);
    EXPECT_EQ(buffer.offset(2, 1), 4u);
    const std::uint8_t* p = buffer.pixel(2, 1);
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(buffer.first(3, 2), 60);
    EXPECT_EQ(buffer.first(1, 1), 255);
}

TEST(PixelBuffer, PaletteAndMonochromePicturesBecomeThirtyTwoBit) {
    QImage mono(9, 3, QImage::Format_Mono);
    mono.setColor(0, qRgb(0, 0, 0));
    mono.setColor(1, qRgb(255, 255, 255));
    mono.fill(1);
    mono.setPixel(8, 2, 0);
    const PixelBuffer buffer = pixelBufferFromImage(mono);
    EXPECT_EQ(buffer.bytesPerPixel, 4);
    EXPECT_EQ(buffer.first(9, 3), 0);
    EXPECT_EQ(buffer.first(8, 3), 255);
}

TEST(PixelBuffer, ImageViewSharesThePixels) {
    PixelBuffer buffer = PixelBuffer::white(4, 4);
    buffer.paint(2, 3, 0, 0, 255);
    const QImage view = imageView(buffer);
    EXPECT_EQ(view.pixel(1, 2), qRgb(255, 0, 0));
    EXPECT_EQ(view.pixel(0, 0), qRgb(255, 255, 255));
}
