#include <gtest/gtest.h>

#include "figures/PictureLayout.h"

// The layout arithmetic of the picture area, in twips at 15 per pixel.

namespace {

// The relatively longer side of the cell is shortened, halves rounding to even; the picture is
// never drawn larger than one picture pixel per screen pixel; an empty cell or picture gives
// nothing.
TEST(FitPictureSize, FitsTheCellWithoutEnlarging) {
    EXPECT_EQ(FitPictureSize({6000, 6000}, {1000, 500}), QSize(6000, 3000));
    EXPECT_EQ(FitPictureSize({6000, 6000}, {500, 1000}), QSize(3000, 6000));
    EXPECT_EQ(FitPictureSize({1001, 5000}, {2000, 1000}), QSize(1001, 500));  // 500.5
    EXPECT_EQ(FitPictureSize({1003, 5000}, {2000, 1000}), QSize(1003, 502));  // 501.5
    EXPECT_EQ(FitPictureSize({9000, 9000}, {100, 50}), QSize(1500, 750));
    EXPECT_EQ(FitPictureSize({1500, 1500}, {100, 100}), QSize(1500, 1500));
    EXPECT_EQ(FitPictureSize({9000, 9000}, {100, 100}, 12, 20), QSize(1200, 2000));
    EXPECT_EQ(FitPictureSize({-200, 3000}, {100, 100}), QSize(0, 0));
    EXPECT_EQ(FitPictureSize({3000, 0}, {100, 100}), QSize(0, 0));
    EXPECT_EQ(FitPictureSize({3000, 3000}, {0, 100}), QSize(0, 0));
}

// The thresholds to the twip (the picture views' own tests reach them only at whole pixels): a
// window of 6000 × 4000 at least, and for the four views a tab strip (the window less the
// 2000-twip panel and 400 × 500) larger than 6000 × 6000.
TEST(PictureLayout, ChoiceFollowsTheThresholds) {
    const auto kind = [](QSize window) {
        return computePictureLayout({window, 2000, 0, {640, 480}}).kind;
    };
    EXPECT_EQ(kind({5999, 9000}), PictureLayoutKind::NotLaidOut);
    EXPECT_EQ(kind({9000, 3999}), PictureLayoutKind::NotLaidOut);
    EXPECT_EQ(kind({6000, 4000}), PictureLayoutKind::Tabs);
    EXPECT_EQ(kind({8400, 9000}), PictureLayoutKind::Tabs);  // strip 6000 wide
    EXPECT_EQ(kind({8401, 6500}), PictureLayoutKind::Tabs);  // strip 6000 high
    EXPECT_EQ(kind({8401, 6501}), PictureLayoutKind::FourViews);
}

TEST(PictureLayout, FourViewsFillTheTabStripInATwoByTwoGrid) {
    const PictureLayout layout = computePictureLayout({{12400, 9500}, 2000, 120, {1000, 1000}});
    ASSERT_EQ(layout.kind, PictureLayoutKind::FourViews);
    EXPECT_EQ(layout.tabStrip, QSize(10000, 9000));
    // Cells of 4900 × 4400, fitted to the square picture.
    EXPECT_EQ(layout.boxes[0], QRect(220, 100, 4400, 4400));
    EXPECT_EQ(layout.boxes[1], QRect(4720, 100, 4400, 4400));
    EXPECT_EQ(layout.boxes[2], QRect(220, 4600, 4400, 4400));
    EXPECT_EQ(layout.boxes[3], QRect(4720, 4600, 4400, 4400));
    EXPECT_EQ(layout.drawSize, QSize(293, 293));  // 4400 / 15 = 293.3
}

TEST(PictureLayout, TabsStackTheFourBoxesBelowTheTabs) {
    const PictureLayout layout = computePictureLayout({{8000, 6000}, 1000, 0, {2000, 1000}});
    ASSERT_EQ(layout.kind, PictureLayoutKind::Tabs);
    EXPECT_EQ(layout.tabStrip, QSize(6600, 5500));
    for (const QRect& box : layout.boxes) EXPECT_EQ(box, QRect(100, 500, 6400, 3200));
    // 6400 × 3200 twips are 427 × 213 pixels, fitted again to 2 : 1.
    EXPECT_EQ(layout.drawSize, QSize(426, 213));
}

TEST(PictureLayout, ControlPanelWiderThanTheWindowLeavesNothingToDraw) {
    const PictureLayout layout = computePictureLayout({{7000, 5000}, 9000, 0, {100, 100}});
    EXPECT_EQ(layout.kind, PictureLayoutKind::Tabs);
    EXPECT_EQ(layout.boxes[0].size(), QSize(0, 0));
    EXPECT_EQ(layout.drawSize, QSize(0, 0));
}

TEST(TwipsToPixels, DividesAndRoundsHalvesToEven) {
    EXPECT_EQ(twipsToPixels(QRect(1500, 15, 4400, 22)), QRect(100, 1, 293, 1));
    EXPECT_EQ(twipsToPixels(QRect(0, 0, 30, 45), 20, 30), QRect(0, 0, 2, 2));  // 1.5 → 2
    EXPECT_EQ(twipsToPixels(QRect(0, 0, 50, 75), 20, 30), QRect(0, 0, 2, 2));  // 2.5 → 2
}

}  // namespace
