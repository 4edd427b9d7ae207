#include <gtest/gtest.h>

#include <QBuffer>

#include "TestPictures.h"
#include "figures/FigureAnalysis.h"
#include "figures/FigureReport.h"

// The text the batch command `parse` prints and writes.

namespace {

TEST(FigureReport, ListsFiguresInUsePairsAndTreeNodes) {
    // The U keeps the right arm's number 3; the dot below takes the freed 2.
    const FigureAnalysis analysis = ParseFigures(pictureFromRows({
        ".#..#.",
        ".#..#.",
        ".####.",
        "......",
        "..#...",
    }));
    EXPECT_EQ(figureReport(analysis).toStdString(),
              "picture 6 5\n"
              "figure 1 light depth 0\n"
              "figure 2 dark depth 1\n"
              "figure 3 dark depth 1\n"
              "pair 1 3\n"
              "pair 1 2\n"
              "node P1 -\n"
              "node P3 P1\n"
              "node P2 P1\n");
}

TEST(FigureReport, SingleTonePictureHasNoPairsOrNodes) {
    EXPECT_EQ(figureReport(ParseFigures(pictureFromRows({"##", "##"}))).toStdString(),
              "picture 2 2\n"
              "figure 1 light depth 0\n"
              "figure 2 dark depth 0\n");
}

TEST(WriteLabelGrid, WritesTheFrameAndEveryCellRowByRow) {
    const FigureAnalysis analysis = ParseFigures(pictureFromRows({".#.", "..#"}));
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(writeLabelGrid(analysis.labels, buffer));
    EXPECT_EQ(buffer.data().toStdString(),
              "1 1 1 1\n"
              "1 1 2 1\n"
              "1 1 1 2\n");  // joined across the upper-left/lower-right diagonal
}

TEST(WriteLabelGrid, ReportsADeviceThatRefusesToWrite) {
    const FigureAnalysis analysis = ParseFigures(pictureFromRows({".#"}));
    QBuffer closed;
    EXPECT_FALSE(writeLabelGrid(analysis.labels, closed));
}

}  // namespace
