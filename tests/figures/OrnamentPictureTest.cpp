#include <gtest/gtest.h>

#include <algorithm>

#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "tests/support/AnalysisExpectations.h"
#include "tests/support/ReferenceParse.h"

// The default picture the build draws beside the program.

namespace {

TEST(OrnamentPicture, IsASymmetricOrnamentOfFiguresNestedSeveralDeep) {
    const PictureLoadResult loaded = loadPictureLayers(QStringLiteral(CNC_ORNAMENT_PATH));
    ASSERT_EQ(loaded.status, PictureLoadStatus::Loaded) << loaded.message.toStdString();
    const PixelBuffer& work = loaded.layers.WorkLayer;
    EXPECT_GE(work.width, 300);
    for (int y = 1; y <= work.height; ++y) {
        for (int x = 1; x <= work.width; ++x) {
            const std::uint8_t tone = work.first(x, y);
            ASSERT_TRUE(tone == 0 || tone == 255);
            ASSERT_EQ(tone, work.first(work.width + 1 - x, y)) << x << "," << y;
            ASSERT_EQ(tone, work.first(x, work.height + 1 - y)) << x << "," << y;
        }
    }

    const FigureAnalysis analysis = ParseFigures(work);
    expectSameAnalysis(analysis, ReferenceParse(work));
    const auto inUse = std::count_if(analysis.figures.begin(), analysis.figures.end(),
                                     [](const FigureRecord& f) { return f.State == kInUse; });
    EXPECT_GT(inUse, 100);
    // The background is the root and every figure hangs in the tree.
    ASSERT_FALSE(analysis.tree.empty());
    EXPECT_EQ(analysis.tree.front(), (TreeNode{1, 0}));
    EXPECT_EQ(std::ptrdiff_t(analysis.tree.size()), inUse);
    std::int32_t deepest = 0;
    for (const FigureRecord& f : analysis.figures) deepest = std::max(deepest, f.Depth);
    EXPECT_GE(deepest, 4);
}

}  // namespace
