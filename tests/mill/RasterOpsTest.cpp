#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "ReferenceRasterOps.h"
#include "TestPictures.h"
#include "mill/RasterArea.h"
#include "mill/RasterOps.h"

namespace {

struct Disc {
    double radius;
    int reach;
};

std::string discName(const Disc& disc) {
    std::string name = std::to_string(disc.radius) + "_reach" + std::to_string(disc.reach);
    for (char& c : name) {
        if (c == '.') c = '_';
    }
    return name;
}

// The radii the milling window meets, each with its reach rounded up, radii just below whole
// numbers, and discs clipped or padded by a reach that does not match the radius.
const Disc kDiscs[] = {{0, 0},   {0.5, 1},      {1, 1}, {std::sqrt(2.0), 2},
                       {1.5, 2}, {2, 2},        {3, 3}, {7.3, 8},
                       {20, 20}, {7.3, 3},      {1, 4}, {2.5, 3},
                       {4.9, 5}, {5 - 1e-12, 5}};

const PictureKind kKinds[] = {PictureKind::Shapes, PictureKind::GreyRamp, PictureKind::Noise,
                              PictureKind::NearThreshold};

using DifferentialParam = std::tuple<Disc, PictureKind, int>;

class RasterOpsAgainstReference : public testing::TestWithParam<DifferentialParam> {};

// Sizes below, at and above 2 × reach + 1, odd widths for padded 3-byte rows.
const int kSizes[][2] = {{1, 1}, {5, 9}, {9, 5}, {17, 13}, {41, 41}, {43, 42}, {64, 57}, {90, 71}};

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
                         testing::Combine(testing::ValuesIn(kDiscs), testing::ValuesIn(kKinds),
                                          testing::Values(3, 4)),
                         [](const testing::TestParamInfo<DifferentialParam>& info) {
                             return discName(std::get<0>(info.param)) + "_" +
                                    pictureKindName(std::get<1>(info.param)) + "_" +
                                    std::to_string(std::get<2>(info.param)) + "bytes";
                         });

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

TEST(RasterOps, OutliningThreeByThreeVariantsAreTheDiscOfRadiusRootTwo) {
    EXPECT_EQ(kOutlineRadius, std::sqrt(2.0));
    for (const PictureKind kind : kKinds) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(pictureKindName(kind) + " seed " + std::to_string(seed));
            const PixelBuffer picture = drawPicture(kind, 23 + int(seed), 19, 3 + seed % 2, seed);
            EXPECT_EQ(gradientOf(picture, kOutlineRadius, kOutlineReach),
                      referenceOutlineGradient(picture));
            EXPECT_EQ(offsetOf(picture, kOutlineRadius, kOutlineReach),
                      referenceOutlineOffset(picture));
        }
    }
}

// A grey page of level 100 with one pixel of another level in its middle.
PixelBuffer pageWithDot(int dotLevel) {
    PixelBuffer picture = PixelBuffer::white(9, 9, 4);
    for (int y = 1; y <= 9; ++y) {
        for (int x = 1; x <= 9; ++x) picture.paint(x, y, 100, 7, 7);
    }
    picture.paint(5, 5, std::uint8_t(dotLevel), 7, 7);
    return picture;
}

class GradientThreshold : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(GradientThreshold, OnlyADifferenceAboveTenMarks) {
    const auto [level, marks] = GetParam();
    PixelBuffer work;
    EXPECT_EQ(MarkGradient(pageWithDot(level), work, 1.5, 2), marks);
    // The dot and its neighbour (6, 5) see each other; a pixel 2 away diagonally does not.
    EXPECT_EQ(work.first(6, 5) == 255, marks);
    EXPECT_EQ(work.first(5, 5) == 255, marks);
    EXPECT_EQ(work.first(7, 7), 100);
}

INSTANTIATE_TEST_SUITE_P(Levels, GradientThreshold,
                         testing::Values(std::tuple{110, false}, std::tuple{111, true},
                                         std::tuple{90, false}, std::tuple{89, true}));

TEST(RasterOps, ZeroRadiusGradientCopiesAndZeroRadiusOffsetOnlyWhitensPureWhite) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(seed);
        const PixelBuffer picture = drawPicture(PictureKind::NearThreshold, 31, 17, 4, seed);
        PixelBuffer gradient;
        EXPECT_FALSE(MarkGradient(picture, gradient, 0, 0));
        EXPECT_EQ(gradient, picture);

        PixelBuffer offset = picture;
        EXPECT_FALSE(OffsetFigures(offset, 0, 0));
        for (int y = 1; y <= picture.height; ++y) {
            for (int x = 1; x <= picture.width; ++x) {
                const std::uint8_t* before = picture.pixel(x, y);
                const std::uint8_t* after = offset.pixel(x, y);
                const bool white = before[0] == 255;
                EXPECT_EQ(after[0], before[0]);
                EXPECT_EQ(after[1], white ? 255 : before[1]);
                EXPECT_EQ(after[2], white ? 255 : before[2]);
                EXPECT_EQ(after[3], before[3]);
            }
        }
    }
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
                         testing::Values(Disc{1, 1}, Disc{1.5, 2}, Disc{3, 3}, Disc{7.3, 8}),
                         [](const testing::TestParamInfo<Disc>& info) {
                             return discName(info.param);
                         });

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
    for (int x = 2; x <= 6; ++x) EXPECT_EQ(offset.first(x, 3), 255);
    EXPECT_EQ(offset.first(1, 3), 0);
    EXPECT_EQ(offset.first(7, 3), 0);
    EXPECT_EQ(offset.bytes.size(), picture.bytes.size());
}

}  // namespace
