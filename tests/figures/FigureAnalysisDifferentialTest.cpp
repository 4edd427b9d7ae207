#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "AnalysisExpectations.h"
#include "ReferenceParse.h"
#include "TestPictures.h"
#include "figures/FigureAnalysis.h"

// ParseFigures against the plain procedure: same grid, tables, pair order and tree on every
// picture.

namespace {

void expectMatchesReference(const PixelBuffer& picture) {
    expectSameAnalysis(ParseFigures(picture), ReferenceParse(picture));
}

struct PictureSize {
    int width;
    int height;
};

std::string sizeName(const PictureSize& size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

void PrintTo(const PictureSize& size, std::ostream* out) {
    *out << sizeName(size);
}

// Every picture of a small size, all 2^(width × height) of them.
class EveryPicture : public testing::TestWithParam<PictureSize> {};

TEST_P(EveryPicture, MatchesReference) {
    const auto [width, height] = GetParam();
    const std::uint32_t count = 1u << (width * height);
    PixelBuffer picture = PixelBuffer::white(width, height);
    for (std::uint32_t bits = 0; bits < count; ++bits) {
        for (int i = 0; i < width * height; ++i) {
            const std::uint8_t v = (bits >> i) & 1 ? 0 : 255;
            picture.paint(i % width + 1, i / width + 1, v, v, v);
        }
        SCOPED_TRACE(bits);
        expectMatchesReference(picture);
        if (HasFatalFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(SmallSizes, EveryPicture,
                         testing::Values(PictureSize{1, 1}, PictureSize{1, 12}, PictureSize{12, 1},
                                         PictureSize{2, 6}, PictureSize{6, 2}, PictureSize{3, 3},
                                         PictureSize{4, 4}, PictureSize{5, 3}, PictureSize{3, 5}),
                         [](const auto& info) { return sizeName(info.param); });

const PictureSize kRandomSizes[] = {{1, 37},  {37, 1},  {2, 19},  {19, 2},  {7, 5},  {16, 16},
                                    {31, 17}, {17, 31}, {40, 40}, {64, 48}, {63, 65}};

struct NoiseCase {
    double darkShare;
    int seeds;
};

void PrintTo(const NoiseCase& c, std::ostream* out) {
    *out << c.darkShare << " dark, " << c.seeds << " seeds";
}

// Noise of one dark share over every size, several seeds each.
class NoisePictures : public testing::TestWithParam<NoiseCase> {};

TEST_P(NoisePictures, MatchReference) {
    const auto [darkShare, seeds] = GetParam();
    for (const PictureSize& size : kRandomSizes) {
        for (int seed = 1; seed <= seeds; ++seed) {
            SCOPED_TRACE(sizeName(size) + " seed " + std::to_string(seed));
            expectMatchesReference(noisePicture(size.width, size.height, darkShare, seed));
            if (HasFatalFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    DarkShares, NoisePictures,
    testing::Values(NoiseCase{0.02, 10}, NoiseCase{0.1, 20}, NoiseCase{0.3, 20},
                    NoiseCase{0.45, 20}, NoiseCase{0.5, 20}, NoiseCase{0.55, 20},
                    NoiseCase{0.7, 20}, NoiseCase{0.9, 20}, NoiseCase{0.98, 10}),
    [](const auto& info) { return "Percent" + std::to_string(int(info.param.darkShare * 100)); });

// Overlapping discs and rectangles: large figures with holes, islands, and many merges.
class BlobPictures : public testing::TestWithParam<int> {};

TEST_P(BlobPictures, MatchReference) {
    const int shapes = GetParam();
    for (const PictureSize& size : kRandomSizes) {
        for (int seed = 1; seed <= 25; ++seed) {
            SCOPED_TRACE(sizeName(size) + " seed " + std::to_string(seed));
            expectMatchesReference(blobPicture(size.width, size.height, shapes, seed));
            if (HasFatalFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ShapeCounts, BlobPictures, testing::Values(1, 4, 12, 40));

TEST(FigureAnalysisDifferential, LargerPicturesMatchReference) {
    expectMatchesReference(noisePicture(160, 120, 0.5, 7));
    expectMatchesReference(blobPicture(150, 140, 60, 3));
    expectMatchesReference(motifTiles(128, 32));
    expectMatchesReference(motifTiles(100, 13));
    expectMatchesReference(nestedRings(60));
}

}  // namespace
