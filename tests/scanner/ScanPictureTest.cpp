#include "scanner/ScanPicture.h"

#include <gtest/gtest.h>

#include <random>

#include "scanner/ScanInterpolation.h"

namespace {

// The default window: image 200 × 200 in a 222 × 222 picture, grid 6 × 5, cells 40 × 50.
TEST(ScanPictureTest, DefaultGridPicture) {
    ScanPicture picture;
    picture.ResetScanPicture(QSize(222, 222), 6, 5);
    ASSERT_EQ(picture.size(), QSize(222, 222));
    EXPECT_EQ(CellSizeFor(picture.size(), 6, 5), QSize(40, 50));
    // The literal drawing: white, lines of grey 200, a black plus on every grid point.
    std::vector<int> expected(222 * 222, 255);
    const auto set = [&](int px, int py, int g) { expected[(py - 1) * 222 + (px - 1)] = g; };
    for (int r = 0; r < 5; ++r)
        for (int px = 10; px <= 210; ++px) set(px, r * 50 + 10, 200);
    for (int c = 0; c < 6; ++c)
        for (int py = 10; py <= 210; ++py) set(c * 40 + 10, py, 200);
    for (int c = 0; c < 6; ++c) {
        for (int r = 0; r < 5; ++r) {
            const int px = c * 40 + 10, py = r * 50 + 10;
            for (const auto& [dx, dy] : {std::pair{-1, 0}, {0, -1}, {1, 0}, {0, 1}, {0, 0}})
                set(px + dx, py + dy, 0);
        }
    }
    for (int py = 1; py <= 222; ++py) {
        for (int px = 1; px <= 222; ++px) {
            const std::uint8_t* p = picture.buffer().pixel(px, py);
            const int g = expected[(py - 1) * 222 + (px - 1)];
            ASSERT_TRUE(p[0] == g && p[1] == g && p[2] == g) << px << "," << py;
        }
    }
}

TEST(ScanPictureTest, NoGridWhenThePictureIsTooSmallOrACountBelowTwo) {
    for (const auto& [picture, w, h] : {std::tuple{QSize(30, 222), 10, 5},
                                        {QSize(222, 222), 1, 5},
                                        {QSize(222, 222), 6, 0},
                                        {QSize(25, 25), 99999, 99999}}) {
        ScanPicture scan;
        scan.ResetScanPicture(picture, w, h);
        for (const std::uint8_t byte : scan.buffer().bytes) ASSERT_EQ(byte, 255);
    }
}

TEST(ScanPictureTest, SampleCrossIsClampedAndPixelsOutsideAreIgnored) {
    ScanPicture picture;
    picture.ResetScanPicture(QSize(222, 222), 6, 5);
    EXPECT_EQ(picture.DrawScanPoint(2, 3, 123, 6, 5), QRect(49, 109, 3, 3));
    EXPECT_EQ(picture.greyAt(50, 110), 123);
    EXPECT_EQ(picture.greyAt(51, 110), 123);
    picture.DrawScanPoint(1, 1, 300, 6, 5);
    EXPECT_EQ(picture.greyAt(10, 10), 255);
    picture.DrawScanPoint(1, 2, -5, 6, 5);
    EXPECT_EQ(picture.greyAt(10, 60), 0);
    const std::vector<std::uint8_t> before = picture.buffer().bytes;
    picture.DrawCross(0, 0, 7);  // all five pixels lie outside the picture
    picture.SetGreyPixel(223, 5, 7);
    EXPECT_EQ(picture.buffer().bytes, before);
}

// The sixteen terms exactly as the formula gives them, one at a time.
qint32 literalInterpolation(const HeightMap& map, ImageExtent image, int x, int y) {
    double gx = x / (image.width / (map.width - 1)) + 1;
    double gy = y / (image.height / (map.height - 1)) + 1;
    int ix = int(std::floor(gx)), iy = int(std::floor(gy));
    double u = gx - ix, v = gy - iy;
    while (ix < 2) u -= 1, ix += 1;
    while (ix > map.width - 2) u += 1, ix -= 1;
    while (iy < 2) v -= 1, iy += 1;
    while (iy > map.height - 2) v += 1, iy -= 1;
    const auto h = [&](int a, int b) { return map.at(ix + a, iy + b); };
    const double pm1u = u * (u - 1) * (u - 2), p0u = (u + 1) * (u - 1) * (u - 2),
                 p1u = (u + 1) * u * (u - 2), p2u = (u + 1) * u * (u - 1);
    const double pm1v = v * (v - 1) * (v - 2), p0v = (v + 1) * (v - 1) * (v - 2),
                 p1v = (v + 1) * v * (v - 2), p2v = (v + 1) * v * (v - 1);
    double s = 0;
    s += p0u * p0v * (1.0 / 4) * h(0, 0);
    s += p1u * p0v * (-1.0 / 4) * h(1, 0);
    s += p0u * p1v * (-1.0 / 4) * h(0, 1);
    s += p1u * p1v * (1.0 / 4) * h(1, 1);
    s += pm1u * p0v * (-1.0 / 12) * h(-1, 0);
    s += p0u * pm1v * (-1.0 / 12) * h(0, -1);
    s += pm1u * p1v * (1.0 / 12) * h(-1, 1);
    s += p1u * pm1v * (1.0 / 12) * h(1, -1);
    s += p2u * p0v * (1.0 / 12) * h(2, 0);
    s += p0u * p2v * (1.0 / 12) * h(0, 2);
    s += pm1u * pm1v * (1.0 / 36) * h(-1, -1);
    s += p2u * p1v * (-1.0 / 12) * h(2, 1);
    s += p1u * p2v * (-1.0 / 12) * h(1, 2);
    s += p2u * pm1v * (-1.0 / 36) * h(2, -1);
    s += pm1u * p2v * (-1.0 / 36) * h(-1, 2);
    s += p2u * p2v * (1.0 / 36) * h(2, 2);
    return qint32(std::nearbyint(s));  // the default rounding mode: halves to even
}

HeightMap randomMap(std::mt19937& random, int width, int height, int lo, int hi) {
    HeightMap map = HeightMap::zeros(width, height);
    std::uniform_int_distribution<int> value(lo, hi);
    for (qint32& v : map.values) v = value(random);
    return map;
}

// InterpolateAt and the whole-image routine against the literal formula, on many generated
// maps and image sizes; exact at every grid point.
TEST(ScanInterpolationTest, MatchesTheLiteralFormulaAndIsExactAtGridPoints) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        const int w = 4 + int(random() % 5), h = 4 + int(random() % 5);
        const ImageExtent image{double(20 + random() % 90), double(20 + random() % 90)};
        const HeightMap map = randomMap(random, w, h, -40, 300);
        SCOPED_TRACE(testing::Message()
                     << w << "x" << h << " image " << image.width << "x" << image.height);
        const InterpolatedImage fast = InterpolateImage(map, image);
        ASSERT_EQ(fast.columns, int(image.width) + 1);
        for (int y = 0; y <= int(image.height); ++y) {
            for (int x = 0; x <= int(image.width); ++x) {
                const qint32 literal = literalInterpolation(map, image, x, y);
                ASSERT_EQ(InterpolateAt(map, image, x, y), literal) << x << "," << y;
                ASSERT_EQ(fast.at(x, y), std::clamp(literal, 0, 255)) << x << "," << y;
            }
        }
        // Grid points of an image whose cells are whole pixels.
        const ImageExtent whole{double((w - 1) * 13), double((h - 1) * 11)};
        for (int i = 1; i <= w; ++i)
            for (int j = 1; j <= h; ++j)
                ASSERT_EQ(InterpolateAt(map, whole, (i - 1) * 13, (j - 1) * 11), map.at(i, j));
    }
}

// After a scan, interpolation keeps every cross centre as drawn and draws everything else of
// the image, overshoot clamped to 0 and 255.
TEST(ScanInterpolationTest, KeepsCrossCentresAndClampsOvershoot) {
    HeightMap map = HeightMap::zeros(6, 5);
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 6; ++i) map.at(i, j) = (i == 3 || i == 4) ? 255 : 0;  // a steep ridge
    ScanPicture picture;
    picture.ResetScanPicture(QSize(222, 222), 6, 5);
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 6; ++i) picture.DrawScanPoint(i, j, 17, 6, 5);  // as if drawn raw
    const ImageExtent image{200, 200};
    const QSize cell = CellSizeFor(picture.size(), 6, 5);
    ASSERT_TRUE(InterpolationRefusal(map, 6, 5, image, cell).isEmpty());
    InterpolateHeightMap(picture, map, image, cell);
    bool sawZeroOvershoot = false, sawFullOvershoot = false;
    for (int y = 0; y <= 200; ++y) {
        for (int x = 0; x <= 200; ++x) {
            const int grey = picture.greyAt(x + 10, y + 10);
            if (x % 40 == 0 && y % 50 == 0) {
                ASSERT_EQ(grey, 17) << x << "," << y;
                continue;
            }
            const qint32 h = InterpolateAt(map, image, x, y);
            ASSERT_EQ(grey, std::clamp(h, 0, 255)) << x << "," << y;
            sawZeroOvershoot |= h < 0;
            sawFullOvershoot |= h > 255;
        }
    }
    EXPECT_TRUE(sawZeroOvershoot && sawFullOvershoot);
    EXPECT_EQ(picture.greyAt(51, 10), InterpolateAt(map, image, 41, 0));  // an arm of (2, 1)
    EXPECT_EQ(picture.greyAt(215, 215), 255);                             // beyond the image
}

TEST(ScanInterpolationTest, Refusals) {
    const HeightMap map = HeightMap::zeros(6, 5);
    const ImageExtent image{200, 200};
    const QSize cell(40, 50);
    EXPECT_FALSE(InterpolationRefusal(HeightMap{}, 6, 5, image, cell).isEmpty());
    EXPECT_FALSE(InterpolationRefusal(HeightMap::zeros(2, 3), 2, 3, image, cell).isEmpty());
    EXPECT_FALSE(InterpolationRefusal(map, 8, 5, image, cell).isEmpty());
    EXPECT_FALSE(InterpolationRefusal(map, 6, 5, {0, 200}, cell).isEmpty());
    EXPECT_FALSE(InterpolationRefusal(map, 6, 5, {0.4, 200}, cell).isEmpty());
    EXPECT_FALSE(InterpolationRefusal(map, 6, 5, image, QSize(0, 50)).isEmpty());
    EXPECT_TRUE(InterpolationRefusal(map, 6, 5, image, cell).isEmpty());
}

}  // namespace
