#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "figures/FigureAnalysis.h"
#include "tests/support/AnalysisExpectations.h"
#include "tests/support/FigurePictures.h"
#include "tests/support/ReferenceParse.h"

// ParseFigures against the plain procedure: same grid, tables, pair order and tree on every
// picture.

namespace {

struct Size {
    int width;
    int height;
};

std::string sizeName(Size size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

void expectMatchesReference(const PixelBuffer& picture) {
    expectSameAnalysis(ParseFigures(picture), ReferenceParse(picture));
}

// Every picture of a small size, all 2^(width × height) of them.
class EveryPicture : public testing::TestWithParam<Size> {};

TEST_P(EveryPicture, MatchesReference) {
    const auto [width, height] = GetParam();
    PixelBuffer picture = PixelBuffer::white(width, height);
    for (std::uint32_t bits = 0; bits < 1u << (width * height); ++bits) {
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
                         testing::Values(Size{1, 1}, Size{1, 12}, Size{12, 1}, Size{2, 6},
                                         Size{6, 2}, Size{3, 3}, Size{4, 4}, Size{5, 3},
                                         Size{3, 5}),
                         [](const auto& info) { return sizeName(info.param); });

// One kind of generated picture: noise with the given dark share (shapes 0), or that many
// overlapping dark and light discs and rectangles (large figures, holes, islands, many merges).
struct Kind {
    const char* name;
    double darkShare;
    int shapes;
};

class GeneratedPictures : public testing::TestWithParam<Kind> {};

TEST_P(GeneratedPictures, MatchReference) {
    const Kind& kind = GetParam();
    for (const Size size :
         {Size{1, 37}, Size{37, 1}, Size{2, 19}, Size{19, 2}, Size{7, 5}, Size{16, 16},
          Size{31, 17}, Size{17, 31}, Size{40, 40}, Size{64, 48}, Size{63, 65}}) {
        for (std::uint32_t seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(sizeName(size) + " seed " + std::to_string(seed));
            expectMatchesReference(
                kind.shapes > 0 ? blobPicture(size.width, size.height, kind.shapes, seed)
                                : noisePicture(size.width, size.height, kind.darkShare, seed));
            if (HasFatalFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, GeneratedPictures,
                         testing::Values(Kind{"Noise2", 0.02, 0}, Kind{"Noise10", 0.1, 0},
                                         Kind{"Noise30", 0.3, 0}, Kind{"Noise50", 0.5, 0},
                                         Kind{"Noise70", 0.7, 0}, Kind{"Noise90", 0.9, 0},
                                         Kind{"Noise98", 0.98, 0}, Kind{"Blobs1", 0, 1},
                                         Kind{"Blobs4", 0, 4}, Kind{"Blobs12", 0, 12},
                                         Kind{"Blobs40", 0, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FigureAnalysisDifferential, LargerPicturesMatchReference) {
    expectMatchesReference(noisePicture(160, 120, 0.5, 7));
    expectMatchesReference(blobPicture(150, 140, 60, 3));
    expectMatchesReference(motifTiles(128, 32));
    expectMatchesReference(motifTiles(100, 13));
    expectMatchesReference(nestedRings(60));
}

}  // namespace
