#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "AnalysisExpectations.h"
#include "ReferenceParse.h"
#include "TestPictures.h"
#include "figures/FigureAnalysis.h"

// The figure parse on pictures whose numbering, pairs and tree are known by hand.

namespace {

using Row = std::vector<std::int32_t>;

// The label grid as rows y = 0..H of numbers x = 0..W.
std::vector<Row> gridRows(const LabelGrid& grid) {
    std::vector<Row> rows;
    for (int y = 0; y <= grid.height(); ++y) {
        Row row;
        for (int x = 0; x <= grid.width(); ++x) row.push_back(grid.at(x, y));
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::int32_t> figuresInUse(const FigureAnalysis& analysis) {
    std::vector<std::int32_t> inUse;
    for (std::size_t n = 1; n <= analysis.figures.size(); ++n) {
        if (analysis.figures[n - 1].State == kInUse) inUse.push_back(std::int32_t(n));
    }
    return inUse;
}

std::vector<NestingPair> pairsInUse(const FigureAnalysis& analysis) {
    return {analysis.pairs.begin(), analysis.pairs.begin() + analysis.pairCount};
}

std::int16_t colorOf(const FigureAnalysis& analysis, std::int32_t n) {
    return analysis.figure(n)->Color;
}

std::int32_t depthOf(const FigureAnalysis& analysis, std::int32_t n) {
    return analysis.figure(n)->Depth;
}

// The parse, checked against the plain procedure before its own expectations are tested.
FigureAnalysis parsed(const PixelBuffer& picture) {
    FigureAnalysis analysis = ParseFigures(picture);
    expectSameAnalysis(analysis, ReferenceParse(picture));
    return analysis;
}

TEST(ParseFigures, RingHoleAndDotNestFourDeep) {
    const FigureAnalysis a = parsed(pictureFromRows({
        ".........",
        ".#######.",
        ".#.....#.",
        ".#.....#.",
        ".#..#..#.",
        ".#.....#.",
        ".#.....#.",
        ".#######.",
        ".........",
    }));
    EXPECT_EQ(figuresInUse(a), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(a.labels.at(0, 0), 1);
    EXPECT_EQ(a.labels.at(2, 2), 2);
    EXPECT_EQ(a.labels.at(3, 3), 3);
    EXPECT_EQ(a.labels.at(5, 5), 4);
    EXPECT_EQ(a.labels.at(9, 5), 1);
    EXPECT_EQ(pairsInUse(a), (std::vector<NestingPair>{{2, 1}, {3, 2}, {4, 3}}));
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 2}, {4, 3}}));
    for (std::int32_t n = 1; n <= 4; ++n) EXPECT_EQ(depthOf(a, n), n - 1);
    EXPECT_EQ(a.figures.size(), 100u);
    EXPECT_EQ(a.pairs.size(), 100u);
}

TEST(ParseFigures, UShapeKeepsTheRightArmNumberAndFreesTheLeft) {
    const FigureAnalysis a = parsed(pictureFromRows({
        ".#..#.",
        ".#..#.",
        ".####.",
        "......",
        "..#...",
    }));
    // The arms were 2 and 3; the bottom merged 2 into 3, and the dot below took the freed 2.
    EXPECT_EQ(gridRows(a.labels), (std::vector<Row>{
                                      {1, 1, 1, 1, 1, 1, 1},
                                      {1, 1, 3, 1, 1, 3, 1},
                                      {1, 1, 3, 1, 1, 3, 1},
                                      {1, 1, 3, 3, 3, 3, 1},
                                      {1, 1, 1, 1, 1, 1, 1},
                                      {1, 1, 1, 2, 1, 1, 1},
                                  }));
    EXPECT_EQ(pairsInUse(a), (std::vector<NestingPair>{{3, 1}, {2, 1}}));
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {3, 1}, {2, 1}}));
}

TEST(ParseFigures, DarkSquaresJoinOnlyAlongTheUpperLeftDiagonal) {
    const FigureAnalysis joined = parsed(pictureFromRows({
        "......",
        ".##...",
        ".##...",
        "...##.",
        "...##.",
        "......",
    }));
    EXPECT_EQ(figuresInUse(joined), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(joined.labels.at(4, 4), joined.labels.at(3, 3));

    const FigureAnalysis apart = parsed(pictureFromRows({
        "......",
        "...##.",
        "...##.",
        ".##...",
        ".##...",
        "......",
    }));
    EXPECT_EQ(figuresInUse(apart), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_NE(apart.labels.at(3, 4), apart.labels.at(4, 3));
    EXPECT_EQ(apart.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 1}}));
}

TEST(ParseFigures, LightCellsAcrossTheOtherDiagonalAreOneFigure) {
    // Inside a dark box: light cells on the upper-left/lower-right diagonal make one hole...
    const FigureAnalysis one = parsed(pictureFromRows({
        "......",
        ".####.",
        ".#.##.",
        ".##.#.",
        ".####.",
        "......",
    }));
    EXPECT_EQ(figuresInUse(one), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(one.labels.at(3, 3), one.labels.at(4, 4));
    // ...while on the other diagonal they are two holes, and the dark cells between them join.
    const FigureAnalysis two = parsed(pictureFromRows({
        "......",
        ".####.",
        ".##.#.",
        ".#.##.",
        ".####.",
        "......",
    }));
    EXPECT_EQ(figuresInUse(two), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(two.labels.at(4, 3), 3);
    EXPECT_EQ(two.labels.at(3, 4), 4);
    EXPECT_EQ(two.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 2}, {4, 2}}));
}

struct AliveCase {
    int dots;
    std::size_t tableSize;
};

// A row of separate dark dots: all alive at once, numbered 2, 3, ... with no merge.
class ManyFiguresAlive : public testing::TestWithParam<AliveCase> {};

TEST_P(ManyFiguresAlive, GrowTheTableByDoubling) {
    const auto [dots, tableSize] = GetParam();
    std::string row;
    for (int i = 0; i < dots; ++i) row += ".#";
    row += ".";
    const FigureAnalysis a = parsed(pictureFromRows({row.c_str()}));
    EXPECT_EQ(a.figures.size(), tableSize);
    ASSERT_EQ(a.pairCount, dots);
    EXPECT_EQ(a.tree.size(), std::size_t(dots) + 1);
    for (int i = 0; i < dots; ++i) {
        SCOPED_TRACE(i);
        const std::int32_t n = a.labels.at(2 * i + 2, 1);
        EXPECT_EQ(n, i + 2);
        EXPECT_EQ(colorOf(a, n), kDark);
        EXPECT_EQ(a.pairs[std::size_t(i)].Inner, n);
        EXPECT_EQ(depthOf(a, n), 1);
    }
    EXPECT_EQ(colorOf(a, 1), kLight);
}

INSTANTIATE_TEST_SUITE_P(Dots, ManyFiguresAlive,
                         testing::Values(AliveCase{98, 100}, AliveCase{99, 100},
                                         AliveCase{100, 200}, AliveCase{199, 200},
                                         AliveCase{200, 400}, AliveCase{450, 800}));

TEST(ParseFigures, CombOfManyTeethMergesIntoItsLastTooth) {
    const int teeth = 150;
    std::string top, bar, empty;
    for (int i = 0; i < teeth; ++i) top += ".#";
    top += ".";
    bar = "." + std::string(std::size_t(2 * teeth - 1), '#') + "..";
    empty = std::string(top.size(), '.');
    std::string dot = empty;
    dot[2] = '#';
    const FigureAnalysis a = parsed(
        pictureFromRows({top.c_str(), top.c_str(), bar.c_str(), empty.c_str(), dot.c_str()}));
    // The teeth were 2..151; each merge handed the comb to the tooth on its right.
    EXPECT_EQ(a.labels.at(2, 1), teeth + 1);
    EXPECT_EQ(a.labels.at(2 * teeth, 3), teeth + 1);
    EXPECT_EQ(a.figures.size(), 200u);
    EXPECT_EQ(a.labels.at(3, 5), 2);  // the lowest free number
    EXPECT_EQ(figuresInUse(a), (std::vector<std::int32_t>{1, 2, teeth + 1}));
}

TEST(ParseFigures, ANumberMergedAwayAtOnceStillGrowsAFullTable) {
    // 99 dots fill the table (numbers 2..100); below the first one a run begins to its left,
    // takes a new number, which doubles the table, and loses it to the dot one cell later.
    std::string dots = ".";
    for (int i = 0; i < 99; ++i) dots += ".#";
    std::string below(dots.size(), '.');
    below[1] = below[2] = '#';
    const FigureAnalysis a = parsed(pictureFromRows({dots.c_str(), below.c_str()}));
    EXPECT_EQ(a.figures.size(), 200u);
    EXPECT_EQ(a.figures[100], (FigureRecord{0, kDark, kFreeSlot}));
    EXPECT_EQ(a.labels.at(2, 2), 2);
}

TEST(ParseFigures, OneTonePicturesHaveNoPairsAndNoTree) {
    const FigureAnalysis light = parsed(pictureFromRows({"....", "....", "...."}));
    EXPECT_EQ(figuresInUse(light), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(light.pairCount, 0);
    EXPECT_TRUE(light.tree.empty());
    for (const std::int32_t cell : light.labels.cells()) EXPECT_EQ(cell, 1);

    const FigureAnalysis dark = parsed(pictureFromRows({"####", "####", "####"}));
    EXPECT_EQ(figuresInUse(dark), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(colorOf(dark, 1), kLight);
    EXPECT_EQ(colorOf(dark, 2), kDark);
    EXPECT_EQ(dark.pairCount, 0);
    EXPECT_TRUE(dark.tree.empty());
    EXPECT_EQ(dark.labels.at(0, 2), 1);
    EXPECT_EQ(dark.labels.at(4, 3), 2);
}

TEST(ParseFigures, DarkBorderAllRoundIsTheRootAndTheFrameIsInNoPair) {
    const FigureAnalysis a = parsed(pictureFromRows({
        "#####",
        "#...#",
        "#.#.#",
        "#...#",
        "#####",
    }));
    EXPECT_EQ(pairsInUse(a), (std::vector<NestingPair>{{3, 2}, {4, 3}}));
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{2, 0}, {3, 2}, {4, 3}}));
    EXPECT_EQ(a.labels.at(0, 3), 1);
}

TEST(ParseFigures, FigureAtTheLeftEdgeBecomesRootAndASecondOneIsLeftOut) {
    const FigureAnalysis a = parsed(pictureFromRows({
        "......",
        "##....",
        "......",
        "##..#.",
        "......",
    }));
    EXPECT_EQ(pairsInUse(a), (std::vector<NestingPair>{{1, 2}, {1, 3}, {4, 1}}));
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{2, 0}, {1, 2}, {4, 1}}));
    EXPECT_EQ(depthOf(a, 2), 0);
    EXPECT_EQ(depthOf(a, 1), 1);
    EXPECT_EQ(depthOf(a, 4), 2);
    EXPECT_EQ(depthOf(a, 3), 0);  // not reached
}

TEST(ParseFigures, LightAreaCutOffAtTheRightEdgeIsAChildOfTheDarkFigure) {
    const FigureAnalysis a = parsed(pictureFromRows({
        "......",
        "...###",
        "...#..",
        "...#..",
    }));
    EXPECT_EQ(a.labels.at(6, 4), 3);
    EXPECT_EQ(colorOf(a, 3), kLight);
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 2}}));
}

TEST(ParseFigures, BackgroundLosesNumberOneToALightFigureBegunUnderAnOverhang) {
    const FigureAnalysis a = parsed(pictureFromRows({
        ".###",
        ".#.#",
        "....",
        "#...",
    }));
    EXPECT_EQ(gridRows(a.labels), (std::vector<Row>{
                                      {3, 3, 3, 3, 3},
                                      {3, 3, 2, 2, 2},
                                      {3, 3, 2, 3, 2},
                                      {3, 3, 3, 3, 3},
                                      {3, 1, 3, 3, 3},
                                  }));
    EXPECT_EQ(colorOf(a, 1), kDark);
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {3, 1}, {2, 3}}));
}

TEST(ParseFigures, ToneIsReadFromTheBlueByteOnly) {
    PixelBuffer picture = PixelBuffer::white(4, 1);
    picture.paint(1, 1, 100, 255, 255);  // dark: blue 100
    picture.paint(2, 1, 101, 0, 0);      // light: blue 101
    picture.paint(3, 1, 0, 255, 255);    // dark
    picture.paint(4, 1, 255, 0, 0);      // light
    const FigureAnalysis a = parsed(picture);
    EXPECT_EQ(gridRows(a.labels), (std::vector<Row>{{1, 1, 1, 1, 1}, {1, 2, 1, 3, 1}}));
}

TEST(ParseFigures, ThreeBytePixelsWithRowPaddingGiveTheSameFigures) {
    const PixelBuffer wide = blobPicture(37, 23, 15, 5);
    PixelBuffer packed;
    packed.width = wide.width;
    packed.height = wide.height;
    packed.bytesPerPixel = 3;
    packed.rowBytes = PixelBuffer::rowBytesFor(wide.width, 3);
    ASSERT_EQ(packed.rowBytes, 112);
    packed.bytes.assign(std::size_t(packed.rowBytes) * std::size_t(packed.height), 7);
    for (int y = 1; y <= wide.height; ++y) {
        for (int x = 1; x <= wide.width; ++x) {
            const std::uint8_t* p = wide.pixel(x, y);
            packed.paint(x, y, p[0], p[1], p[2]);
        }
    }
    expectSameAnalysis(parsed(packed), ParseFigures(wide));
}

TEST(ParseFigures, ParsingAgainGivesTheSameResultAndReusesNothingStale) {
    const PixelBuffer first = blobPicture(50, 40, 30, 11);
    const PixelBuffer second = noisePicture(50, 40, 0.4, 2);
    const PixelBuffer smaller = noisePicture(20, 45, 0.6, 3);
    FigureAnalysis analysis = ParseFigures(first);
    const FigureAnalysis once = analysis;
    ParseFigures(first, analysis);
    expectSameAnalysis(analysis, once);
    ParseFigures(second, analysis);
    expectSameAnalysis(analysis, ParseFigures(second));
    ParseFigures(smaller, analysis);
    expectSameAnalysis(analysis, ParseFigures(smaller));
}

TEST(ParseFigures, NoPictureGivesEmptyTablesAndTree) {
    FigureAnalysis analysis = ParseFigures(blobPicture(10, 10, 5, 1));
    ParseFigures(PixelBuffer{}, analysis);
    EXPECT_TRUE(analysis == FigureAnalysis{});
    EXPECT_TRUE(ParseFigures(PixelBuffer{}) == FigureAnalysis{});
}

TEST(ParseFigures, HundredsOfNestingLevelsFormOneChain) {
    const int levels = 600;
    const FigureAnalysis a = ParseFigures(nestedRings(levels));
    ASSERT_EQ(a.tree.size(), std::size_t(levels) + 1);
    for (std::int32_t level = 0; level <= levels; ++level) {
        SCOPED_TRACE(level);
        EXPECT_EQ(a.tree[std::size_t(level)], (TreeNode{level + 1, level}));
        EXPECT_EQ(depthOf(a, level + 1), level);
    }
    EXPECT_EQ(a.figures.size(), 800u);
}

}  // namespace
