#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "figures/FigureAnalysis.h"
#include "figures/FigureGuards.h"
#include "tests/support/AnalysisExpectations.h"
#include "tests/support/FigurePictures.h"
#include "tests/support/ReferenceParse.h"

// The figure parse on pictures whose numbering, pairs and tree are known by hand. Every parse is
// also checked against the plain procedure.

namespace {

using Row = std::vector<std::int32_t>;

// The label grid as rows y = 0..H of numbers x = 0..W.
std::vector<Row> gridRows(const LabelGrid& grid) {
    std::vector<Row> rows(std::size_t(grid.height()) + 1);
    for (int y = 0; y <= grid.height(); ++y) {
        for (int x = 0; x <= grid.width(); ++x) rows[std::size_t(y)].push_back(grid.at(x, y));
    }
    return rows;
}

std::vector<NestingPair> pairsInUse(const FigureAnalysis& analysis) {
    return {analysis.pairs.begin(), analysis.pairs.begin() + analysis.pairCount};
}

FigureAnalysis parsed(const PixelBuffer& picture) {
    FigureAnalysis analysis = ParseFigures(picture);
    expectSameAnalysis(analysis, ReferenceParse(picture));
    return analysis;
}

struct HandCase {
    const char* name;
    std::vector<const char*> rows;
    std::vector<NestingPair> pairs;  // {Inner, Outer} in table order
    std::vector<TreeNode> tree;
    std::vector<Row> grid;  // empty: the numbering is not checked
};

void PrintTo(const HandCase& c, std::ostream* out) {
    *out << c.name;
}

class HandDrawn : public testing::TestWithParam<HandCase> {};

// Besides the expectations of the case: every cell's figure has the cell's tone (the frame is
// light), and every figure's depth is its depth in the tree, 0 when the tree does not reach it.
TEST_P(HandDrawn, GivesTheKnownPairsTreeAndNumbers) {
    const HandCase& c = GetParam();
    const PixelBuffer picture = pictureFromRows(c.rows);
    const FigureAnalysis a = parsed(picture);
    EXPECT_EQ(pairsInUse(a), c.pairs);
    EXPECT_EQ(a.tree, c.tree);
    if (!c.grid.empty()) {
        EXPECT_EQ(gridRows(a.labels), c.grid);
    }
    for (int y = 0; y <= picture.height; ++y) {
        for (int x = 0; x <= picture.width; ++x) {
            const bool light = x == 0 || y == 0 || picture.first(x, y) > 100;
            ASSERT_EQ(a.figure(a.labels.at(x, y))->Color, light ? kLight : kDark) << x << "," << y;
        }
    }
    std::map<std::int32_t, std::int32_t> depth{{0, -1}};
    for (const TreeNode& node : a.tree) depth[node.figure] = depth.at(node.parent) + 1;
    for (std::int32_t n = 1; n <= std::int32_t(a.figures.size()); ++n) {
        if (a.figure(n)->State != kInUse) continue;
        EXPECT_EQ(a.figure(n)->Depth, depth.contains(n) ? depth[n] : 0) << "figure " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, HandDrawn,
    testing::Values(
        // The arms were 2 and 3; the bottom merged 2 into 3, and the dot below took the freed 2.
        HandCase{"UShape",
                 {".#..#.", ".#..#.", ".####.", "......", "..#..."},
                 {{3, 1}, {2, 1}},
                 {{1, 0}, {3, 1}, {2, 1}},
                 {{1, 1, 1, 1, 1, 1, 1},
                  {1, 1, 3, 1, 1, 3, 1},
                  {1, 1, 3, 1, 1, 3, 1},
                  {1, 1, 3, 3, 3, 3, 1},
                  {1, 1, 1, 1, 1, 1, 1},
                  {1, 1, 1, 2, 1, 1, 1}}},
        // Both tones join along the upper-left/lower-right diagonal, never along the other.
        HandCase{"DarkJoinedOnTheDiagonal",
                 {"....", ".#..", "..#.", "...."},
                 {{2, 1}},
                 {{1, 0}, {2, 1}},
                 {}},
        HandCase{"DarkApartOnTheOtherDiagonal",
                 {"....", "..#.", ".#..", "...."},
                 {{2, 1}, {3, 1}},
                 {{1, 0}, {2, 1}, {3, 1}},
                 {}},
        HandCase{"LightHoleJoinedOnTheDiagonal",
                 {"......", ".####.", ".#.##.", ".##.#.", ".####.", "......"},
                 {{2, 1}, {3, 2}},
                 {{1, 0}, {2, 1}, {3, 2}},
                 {}},
        HandCase{"TwoLightHolesOnTheOtherDiagonal",
                 {"......", ".####.", ".##.#.", ".#.##.", ".####.", "......"},
                 {{2, 1}, {3, 2}, {4, 2}},
                 {{1, 0}, {2, 1}, {3, 2}, {4, 2}},
                 {}},
        HandCase{"AllLight", {"..", ".."}, {}, {}, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}},
        HandCase{"AllDark", {"##", "##"}, {}, {}, {{1, 1, 1}, {1, 2, 2}, {1, 2, 2}}},
        // The frame lies in no pair, so the border is the root.
        HandCase{"DarkBorderAllRound",
                 {"#####", "#...#", "#.#.#", "#...#", "#####"},
                 {{3, 2}, {4, 3}},
                 {{2, 0}, {3, 2}, {4, 3}},
                 {}},
        // A figure at the left edge is the first outer that is nobody's inner; the second one
        // is left out of the tree.
        HandCase{"FiguresAtTheLeftEdge",
                 {"......", "##....", "......", "##..#.", "......"},
                 {{1, 2}, {1, 3}, {4, 1}},
                 {{2, 0}, {1, 2}, {4, 1}},
                 {}},
        HandCase{"LightAreaCutOffAtTheRightEdge",
                 {"......", "...###", "...#..", "...#.."},
                 {{2, 1}, {3, 2}},
                 {{1, 0}, {2, 1}, {3, 2}},
                 {}},
        // The light figure begun under the overhang takes the background over from number 1,
        // which goes to the dark pixel at the bottom.
        HandCase{
            "BackgroundLosesNumberOne",
            {".###", ".#.#", "....", "#..."},
            {{2, 3}, {3, 1}},
            {{1, 0}, {3, 1}, {2, 3}},
            {{3, 3, 3, 3, 3}, {3, 3, 2, 2, 2}, {3, 3, 2, 3, 2}, {3, 3, 3, 3, 3}, {3, 1, 3, 3, 3}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Concentric rings nest each figure in the one before, at any depth, without a deep call stack.
TEST(ParseFigures, NestedRingsFormOneChain) {
    for (const auto& [levels, tableSize] : {std::pair{3, 100u}, std::pair{600, 800u}}) {
        SCOPED_TRACE(levels);
        const FigureAnalysis a = ParseFigures(nestedRings(levels));
        EXPECT_EQ(a.figures.size(), tableSize);
        ASSERT_EQ(a.pairCount, levels);
        ASSERT_EQ(a.tree.size(), std::size_t(levels) + 1);
        EXPECT_EQ(a.tree[0], (TreeNode{1, 0}));
        for (std::int32_t level = 1; level <= levels; ++level) {
            ASSERT_EQ(a.pairs[std::size_t(level) - 1], (NestingPair{level + 1, level}));
            ASSERT_EQ(a.tree[std::size_t(level)], (TreeNode{level + 1, level}));
            ASSERT_EQ(a.figure(level + 1)->Depth, level);
        }
    }
}

// A row of separate dark dots: all alive at once, numbered 2, 3, ... with no merge, in a table
// that doubles as they come.
TEST(ParseFigures, ManyFiguresAliveGrowTheTableByDoubling) {
    for (const auto& [dots, tableSize] :
         {std::pair{99, 100u}, {100, 200u}, {199, 200u}, {200, 400u}, {450, 800u}}) {
        SCOPED_TRACE(dots);
        std::string row;
        for (int i = 0; i < dots; ++i) row += ".#";
        const FigureAnalysis a = parsed(pictureFromRows({row.c_str()}));
        EXPECT_EQ(a.figures.size(), tableSize);
        EXPECT_EQ(a.pairCount, dots);
        for (int i = 0; i < dots; ++i) ASSERT_EQ(a.labels.at(2 * i + 2, 1), i + 2) << i;
    }
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

TEST(ParseFigures, ToneIsReadFromTheBlueByteOnly) {
    PixelBuffer picture = PixelBuffer::white(4, 1);
    picture.paint(1, 1, 100, 255, 255);  // dark: blue 100
    picture.paint(2, 1, 101, 0, 0);      // light: blue 101
    picture.paint(3, 1, 0, 255, 255);    // dark
    picture.paint(4, 1, 255, 0, 0);      // light
    EXPECT_EQ(gridRows(parsed(picture).labels),
              (std::vector<Row>{{1, 1, 1, 1, 1}, {1, 2, 1, 3, 1}}));
}

TEST(ParseFigures, ThreeBytePixelsWithRowPaddingGiveTheSameFigures) {
    const PixelBuffer wide = blobPicture(37, 23, 15, 5);
    PixelBuffer packed{wide.width, wide.height, 3, PixelBuffer::rowBytesFor(wide.width, 3), {}};
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
    FigureAnalysis analysis = ParseFigures(first);
    const FigureAnalysis once = analysis;
    ParseFigures(first, analysis);
    expectSameAnalysis(analysis, once);
    for (const PixelBuffer& next : {noisePicture(50, 40, 0.4, 2), noisePicture(20, 45, 0.6, 3)}) {
        ParseFigures(next, analysis);
        expectSameAnalysis(analysis, ParseFigures(next));
    }
    ParseFigures(PixelBuffer{}, analysis);  // no picture: empty tables and tree
    EXPECT_TRUE(analysis == FigureAnalysis{});
}

}  // namespace

// Only "P" followed by decimal digits names a figure: other keys are no selection.
TEST(FigureNodeKey, OnlyAPFollowedByDigitsNamesAFigure) {
    EXPECT_EQ(figureOfNodeKey(QStringLiteral("P12")), 12);
    EXPECT_EQ(figureOfNodeKey(nodeKeyOfFigure(7)), 7);
    for (const char* key : {"", "P", "Q12", "x1", "P+3", "P 3", "P1a", "p4", "P99999999999"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(figureOfNodeKey(QString::fromLatin1(key)), std::nullopt);
    }
}
