#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>

#include "mill/WorkLayerOps.h"
#include "tests/support/MillPictures.h"
#include "tests/support/ReferenceRasterOps.h"

namespace {

// An analysis as a parse leaves it: figures, pairs, a tree and a label grid.
FigureAnalysis parsedAnalysis(int width, int height) {
    FigureAnalysis analysis;
    analysis.labels = LabelGrid(width, height);
    analysis.labels.at(3, 4) = 2;
    analysis.figures.assign(100, FigureRecord{});
    analysis.figures[0] = {0, kLight, kInUse};
    analysis.figures[1] = {1, kDark, kInUse};
    analysis.pairs.assign(100, NestingPair{});
    analysis.pairs[0] = {2, 1};
    analysis.pairCount = 1;
    analysis.tree = {{1, 0}, {2, 1}};
    return analysis;
}

void expectEmptiedTables(const FigureAnalysis& after, const FigureAnalysis& before) {
    EXPECT_EQ(after.figures, std::vector<FigureRecord>(100));
    EXPECT_EQ(after.pairs, std::vector<NestingPair>(100));
    EXPECT_EQ(after.pairCount, 0);
    EXPECT_EQ(after.labels, before.labels);
    EXPECT_EQ(after.tree, before.tree);
}

// A white page with a black square from (left, left) to (right, right).
PixelBuffer blackSquare(int size, int left, int right) {
    PixelBuffer picture = PixelBuffer::white(size, size, 4);
    for (int y = left; y <= right; ++y) {
        for (int x = left; x <= right; ++x) picture.paint(x, y, 0, 0, 0);
    }
    return picture;
}

// The bounds of the black (first byte 0) pixels, or all −1 when there are none.
std::array<int, 4> blackBounds(const PixelBuffer& picture) {
    std::array<int, 4> bounds{-1, -1, -1, -1};
    for (int y = 1; y <= picture.height; ++y) {
        for (int x = 1; x <= picture.width; ++x) {
            if (picture.first(x, y) != 0) continue;
            if (bounds[0] < 0) bounds = {x, y, x, y};
            bounds = {std::min(bounds[0], x), std::min(bounds[1], y), std::max(bounds[2], x),
                      std::max(bounds[3], y)};
        }
    }
    return bounds;
}

TEST(WorkLayerOps, RefusedFieldsChangeNothing) {
    const PixelBuffer source = drawPicture(PictureKind::Shapes, 40, 30, 4, 1);
    const PixelBuffer work = drawPicture(PictureKind::Shapes, 40, 30, 4, 2);
    const FigureAnalysis analysis = parsedAnalysis(40, 30);
    const CutterSize cutter{4.5, 5};
    for (const auto& [diameter, width] :
         {std::pair{u"3", u"0"}, std::pair{u"три", u"200"}, std::pair{u"3", u"ширина"}}) {
        PixelBuffer newWork = work;
        FigureAnalysis newAnalysis = analysis;
        CutterSize newCutter = cutter;
        const WorkLayerOutcome gradient =
            markGradientFromFields(diameter, width, source, newWork, newAnalysis, newCutter);
        const WorkLayerOutcome offset =
            offsetFiguresFromFields(diameter, width, newWork, newAnalysis);
        EXPECT_TRUE(gradient.refused());
        EXPECT_TRUE(offset.refused());
        EXPECT_EQ(newWork, work);
        EXPECT_EQ(newAnalysis, analysis);
        EXPECT_EQ(newCutter, cutter);
    }
}

// 200-pixel picture, 200 mm: also at diameter 0, which paints nothing, the work layer is replaced
// and the tables are emptied.
TEST(WorkLayerOps, GradientStoresTheCutterReplacesTheLayerAndEmptiesTheTables) {
    const PixelBuffer source = drawPicture(PictureKind::Shapes, 200, 60, 4, 3);
    const FigureAnalysis before = parsedAnalysis(200, 60);
    for (const auto& [diameter, expected] :
         {std::pair{u"3", CutterSize{1.5, 2}}, std::pair{u"0", CutterSize{0, 0}}}) {
        SCOPED_TRACE(expected.radius);
        PixelBuffer work = drawPicture(PictureKind::Noise, 200, 60, 4, 4);
        FigureAnalysis analysis = before;
        CutterSize cutter{4, 4};
        const WorkLayerOutcome outcome =
            markGradientFromFields(diameter, u"200", source, work, analysis, cutter);
        EXPECT_FALSE(outcome.refused());
        EXPECT_EQ(cutter, expected);
        EXPECT_EQ(work, referenceMarkGradient(source, expected.radius, expected.reach));
        EXPECT_EQ(outcome.changed, firstBytesDiffer(source, work));
        expectEmptiedTables(analysis, before);
    }
}

TEST(WorkLayerOps, TwoOffsetsShrinkByTwoDiametersAndTheGradientRestoresOneBand) {
    // One pixel per millimetre: a 4 mm cutter offsets by 4 pixels, its gradient band is 2.
    const PixelBuffer source = blackSquare(120, 31, 90);
    PixelBuffer work = source;
    FigureAnalysis analysis = parsedAnalysis(120, 120);
    const FigureAnalysis before = analysis;
    CutterSize cutter{9, 9};

    EXPECT_TRUE(offsetFiguresFromFields(u"4", u"120", work, analysis).changed);
    EXPECT_EQ(blackBounds(work), (std::array{35, 35, 86, 86}));
    EXPECT_TRUE(offsetFiguresFromFields(u"4,0", u"120", work, analysis).changed);
    EXPECT_EQ(blackBounds(work), (std::array{39, 39, 82, 82}));
    EXPECT_EQ(cutter, (CutterSize{9, 9}));
    expectEmptiedTables(analysis, before);

    EXPECT_TRUE(markGradientFromFields(u"4", u"120", source, work, analysis, cutter).changed);
    EXPECT_EQ(blackBounds(work), (std::array{33, 33, 88, 88}));
    EXPECT_EQ(work, referenceMarkGradient(source, 2, 2));
}

TEST(WorkLayerOps, RepeatedOffsetsReportNoChangeOnceNothingIsLeftToGrow) {
    // A black page with one white pixel in the middle and a 2-pixel offset radius.
    PixelBuffer work = blackSquare(41, 1, 41);
    work.paintWhite(21, 21);
    FigureAnalysis analysis;
    int presses = 0;
    while (offsetFiguresFromFields(u"2", u"41", work, analysis).changed) {
        ASSERT_LT(++presses, 100);
    }
    // A disc of radius 2 holds exactly the offsets with |dx| + |dy| ≤ 2, so the white reaches
    // the processed corner (3, 3), 36 such steps from the middle, on the 18th press.
    EXPECT_EQ(presses, 18);
    EXPECT_EQ(blackBounds(work), (std::array{1, 1, 41, 41}));
    EXPECT_EQ(work.first(3, 3), 255);
    EXPECT_EQ(work.first(2, 21), 0);
}

// The outlining window's variants are the literal three-by-three procedures.
TEST(WorkLayerOps, OutliningVariantsMatchTheThreeByThreeProceduresAndEmptyTheTables) {
    const FigureAnalysis before = parsedAnalysis(33, 21);
    for (const PictureKind kind : {PictureKind::Shapes, PictureKind::GreyRamp, PictureKind::Noise,
                                   PictureKind::NearThreshold}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(testing::Message() << "kind " << int(kind) << " seed " << seed);
            const int width = 22 + int(seed);
            const int bytesPerPixel = 3 + seed % 2;
            const PixelBuffer source = drawPicture(kind, width, 19, bytesPerPixel, seed);
            PixelBuffer work = drawPicture(PictureKind::Shapes, width, 19, bytesPerPixel, 9);
            FigureAnalysis analysis = before;
            const bool marked = markOutlineGradient(source, work, analysis);
            EXPECT_EQ(marked, firstBytesDiffer(source, work));
            EXPECT_EQ(work, referenceOutlineGradient(source));
            expectEmptiedTables(analysis, before);

            analysis = before;
            PixelBuffer offset = source;
            const bool grown = offsetOutlineFigures(offset, analysis);
            EXPECT_EQ(grown, firstBytesDiffer(source, offset));
            EXPECT_EQ(offset, referenceOutlineOffset(source));
            expectEmptiedTables(analysis, before);
        }
    }
}

}  // namespace
