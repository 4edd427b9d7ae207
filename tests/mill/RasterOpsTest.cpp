#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

#include "mill/RasterArea.h"
#include "mill/RasterOps.h"
#include "tests/support/MillPictures.h"
#include "tests/support/ReferenceRasterOps.h"

namespace {

struct Disc {
    double radius;
    int reach;
};

void PrintTo(const Disc& disc, std::ostream* out) {
    *out << "radius " << disc.radius << " reach " << disc.reach;
}

// The radii the milling window meets, each with its reach rounded up, radii just below whole
// numbers, and discs clipped or padded by a reach that does not match the radius.
const Disc kDiscs[] = {{0, 0},   {0.5, 1},      {1, 1}, {std::sqrt(2.0), 2},
                       {1.5, 2}, {2, 2},        {3, 3}, {7.3, 8},
                       {20, 20}, {7.3, 3},      {1, 4}, {2.5, 3},
                       {4.9, 5}, {5 - 1e-12, 5}};

// Sizes below, at and above 2 × reach + 1, odd widths for padded 3-byte rows.
const int kSizes[][2] = {{1, 1}, {5, 9}, {9, 5}, {17, 13}, {41, 41}, {43, 42}, {64, 57}, {90, 71}};

class RasterOpsAgainstReference
    : public testing::TestWithParam<std::tuple<Disc, PictureKind, int>> {};

TEST_P(RasterOpsAgainstReference, GradientAndOffsetGiveTheLiteralPixels) {
    const auto [disc, kind, bytesPerPixel] = GetParam();
    for (const auto& size : kSizes) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " seed " << seed);
            const PixelBuffer picture = drawPicture(kind, size[0], size[1], bytesPerPixel, seed);

            // The work layer may hold an older picture of the same size, or nothing.
            PixelBuffer gradient;
            if (seed == 2) gradient = drawPicture(kind, size[0], size[1], bytesPerPixel, 99);
            const bool gradientChanged = MarkGradient(picture, gradient, disc.radius, disc.reach);
            const PixelBuffer expectedGradient =
                referenceMarkGradient(picture, disc.radius, disc.reach);
            EXPECT_EQ(gradient, expectedGradient);
            EXPECT_EQ(gradientChanged, firstBytesDiffer(picture, expectedGradient));

            PixelBuffer offset = picture;
            const bool offsetChanged = OffsetFigures(offset, disc.radius, disc.reach);
            const PixelBuffer expectedOffset =
                referenceOffsetFigures(picture, disc.radius, disc.reach);
            EXPECT_EQ(offset, expectedOffset);
            EXPECT_EQ(offsetChanged, firstBytesDiffer(picture, expectedOffset));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Discs, RasterOpsAgainstReference,
                         testing::Combine(testing::ValuesIn(kDiscs),
                                          testing::Values(PictureKind::Shapes,
                                                          PictureKind::GreyRamp, PictureKind::Noise,
                                                          PictureKind::NearThreshold),
                                          testing::Values(3, 4)));

// Fast routine results on a copy, for the cases that need only the pixels.
PixelBuffer gradientOf(const PixelBuffer& picture, double radius, int reach) {
    PixelBuffer work;
    MarkGradient(picture, work, radius, reach);
    return work;
}

PixelBuffer offsetOf(PixelBuffer picture, double radius, int reach) {
    OffsetFigures(picture, radius, reach);
    return picture;
}

// Pictures past the two-thread threshold, and a disc wider than a 64-pixel word on a picture
// wide enough to be swept in two strips.
TEST(RasterOps, LargePicturesAndWideDiscsGiveTheLiteralPixels) {
    ASSERT_GE((700 - 2 * 3) * (420 - 2 * 3), kParallelMinimumPixels);
    const int cases[][4] = {{700, 420, 3, 3}, {700, 420, 4, 3}, {900, 150, 4, 70}};
    for (const auto& [width, height, bytesPerPixel, reach] : cases) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " reach " << reach);
        const PixelBuffer picture =
            drawPicture(PictureKind::Shapes, width, height, bytesPerPixel, 7);
        // The work layer holds an older picture of the same layout, refilled by both threads.
        PixelBuffer work = drawPicture(PictureKind::Noise, width, height, bytesPerPixel, 8);
        MarkGradient(picture, work, reach, reach);
        EXPECT_EQ(work, referenceMarkGradient(picture, reach, reach));
        EXPECT_EQ(offsetOf(picture, reach, reach), referenceOffsetFigures(picture, reach, reach));
    }
}

TEST(RasterOps, GradientIntoItsOwnSourceReadsTheUnchangedPicture) {
    const PixelBuffer picture = drawPicture(PictureKind::NearThreshold, 30, 20, 4, 2);
    PixelBuffer both = picture;
    EXPECT_TRUE(MarkGradient(both, both, 2, 2));
    EXPECT_EQ(both, referenceMarkGradient(picture, 2, 2));
}

TEST(RasterOps, OnlyADifferenceAboveTenMarks) {
    // A grey page of level 100 with a dot of another level in its middle.
    for (const auto& [level, marks] :
         {std::pair{110, false}, std::pair{111, true}, std::pair{90, false}, std::pair{89, true}}) {
        SCOPED_TRACE(level);
        PixelBuffer picture = PixelBuffer::white(9, 9, 4);
        for (int y = 1; y <= 9; ++y) {
            for (int x = 1; x <= 9; ++x)
                picture.paint(x, y, std::uint8_t(x == 5 && y == 5 ? level : 100), 7, 7);
        }
        PixelBuffer work;
        EXPECT_EQ(MarkGradient(picture, work, 1.5, 2), marks);
        // The dot and its neighbour (6, 5) see each other; a pixel 2 away diagonally does not.
        EXPECT_EQ(work.first(6, 5) == 255, marks);
        EXPECT_EQ(work.first(5, 5) == 255, marks);
        EXPECT_EQ(work.first(7, 7), 100);
    }
}

TEST(RasterOps, ZeroRadiusOffsetOnlyWhitensPixelsWhoseFirstByteIs255) {
    const PixelBuffer picture = drawPicture(PictureKind::NearThreshold, 31, 17, 4, 1);
    PixelBuffer expected = picture;
    for (int y = 1; y <= picture.height; ++y) {
        for (int x = 1; x <= picture.width; ++x) {
            if (picture.first(x, y) == 255) expected.paintWhite(x, y);  // green and red too
        }
    }
    PixelBuffer offset = picture;
    EXPECT_FALSE(OffsetFigures(offset, 0, 0));
    EXPECT_EQ(offset, expected);
}

class OuterFrame : public testing::TestWithParam<Disc> {};

TEST_P(OuterFrame, TheOutermostReachRowsAndColumnsAreNeverPainted) {
    const Disc disc = GetParam();
    const PixelBuffer noise = drawPicture(PictureKind::Noise, 37, 29, 3, 11);
    // Black everywhere except a white frame one pixel wide: everything inside turns white.
    PixelBuffer framed = drawPicture(PictureKind::Noise, 37, 29, 3, 12);
    for (int y = 1; y <= 29; ++y) {
        for (int x = 1; x <= 37; ++x) {
            const bool edge = x == 1 || y == 1 || x == 37 || y == 29;
            framed.pixel(x, y)[0] = edge ? 255 : 0;
        }
    }
    const PixelBuffer gradient = gradientOf(noise, disc.radius, disc.reach);
    const PixelBuffer offset = offsetOf(framed, disc.radius, disc.reach);
    for (int y = 1; y <= 29; ++y) {
        for (int x = 1; x <= 37; ++x) {
            const bool outer =
                x <= disc.reach || y <= disc.reach || x > 37 - disc.reach || y > 29 - disc.reach;
            if (!outer) continue;
            SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
            EXPECT_EQ(std::memcmp(gradient.pixel(x, y), noise.pixel(x, y), 3), 0);
            EXPECT_EQ(std::memcmp(offset.pixel(x, y), framed.pixel(x, y), 3), 0);
        }
    }
    // The first processed pixel lies `reach` from the white frame: inside the disc or not.
    EXPECT_EQ(offset.first(1 + disc.reach, 1 + disc.reach), disc.radius >= disc.reach ? 255 : 0);
}

INSTANTIATE_TEST_SUITE_P(Discs, OuterFrame,
                         testing::Values(Disc{1, 1}, Disc{1.5, 2}, Disc{3, 3}, Disc{7.3, 8}));

TEST(RasterOps, InputsWithoutProcessedPixelsAreLeftUnchanged) {
    const PixelBuffer picture = drawPicture(PictureKind::Noise, 12, 8, 4, 3);
    for (const int reach : {-1, 4, 6, 1000000000}) {
        SCOPED_TRACE(reach);
        PixelBuffer work = picture;
        EXPECT_FALSE(MarkGradient(picture, work, reach, reach));
        EXPECT_FALSE(OffsetFigures(work, reach, reach));
        EXPECT_EQ(work, picture);
    }
    PixelBuffer truncated = picture;
    truncated.bytes.resize(truncated.bytes.size() - 1);
    EXPECT_EQ(gradientOf(truncated, 2, 2), truncated);
    PixelBuffer noBytes = picture;
    noBytes.bytesPerPixel = 0;
    EXPECT_EQ(offsetOf(noBytes, 2, 2), noBytes);
}

TEST(RasterOps, PixelsOfOneByteArePaintedWithinThemselves) {
    PixelBuffer picture = PixelBuffer::white(7, 5, 1);
    for (int x = 1; x <= 7; ++x) picture.pixel(x, 3)[0] = 0;
    PixelBuffer offset = picture;
    EXPECT_TRUE(OffsetFigures(offset, 1, 1));
    for (int x = 1; x <= 7; ++x) EXPECT_EQ(offset.first(x, 3), x == 1 || x == 7 ? 0 : 255);
    EXPECT_EQ(offset.bytes.size(), picture.bytes.size());
}

}  // namespace
