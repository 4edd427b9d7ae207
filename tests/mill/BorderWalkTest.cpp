#include <gtest/gtest.h>

#include <QPoint>
#include <string>
#include <vector>

#include "mill/BorderWalk.h"

// The step rule by itself, on label grids drawn as text: '#' is figure 2, anything else
// figure 1.

namespace {

LabelGrid gridOf(const std::vector<std::string>& rows) {
    LabelGrid labels(int(rows.front().size()), int(rows.size()));
    for (int y = 1; y <= labels.height(); ++y)
        for (int x = 1; x <= labels.width(); ++x)
            labels.at(x, y) = rows[std::size_t(y) - 1][std::size_t(x) - 1] == '#' ? 2 : 1;
    return labels;
}

std::vector<QPoint> walkUntilClosed(const LabelGrid& labels, std::int32_t figure, QPoint start,
                                    int dx) {
    BorderWalk walk(labels, figure, start, dx, 0);
    std::vector<QPoint> positions;
    do {
        walk.step();
        positions.push_back(walk.position());
    } while (!walk.closed() && positions.size() < 100);
    return positions;
}

TEST(BorderWalk, TurnsFollowTheCompassRoseAndLeaveOtherPairsAlone) {
    const std::vector<QPoint> clockwise = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                           {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    for (std::size_t i = 0; i < clockwise.size(); ++i) {
        SCOPED_TRACE(i);
        std::int32_t dx = clockwise[i].x(), dy = clockwise[i].y();
        TurnClockwise(dx, dy);
        EXPECT_EQ(QPoint(dx, dy), clockwise[(i + 1) % 8]);
        TurnCounterClockwise(dx, dy);
        TurnCounterClockwise(dx, dy);
        EXPECT_EQ(QPoint(dx, dy), clockwise[(i + 7) % 8]);
    }
    for (const QPoint other : {QPoint(0, 0), QPoint(2, 0), QPoint(-1, 3)}) {
        std::int32_t dx = other.x(), dy = other.y();
        TurnClockwise(dx, dy);
        TurnCounterClockwise(dx, dy);
        TurnCounterClockwise(dx, dy);
        EXPECT_EQ(QPoint(dx, dy), other);
    }
}

TEST(BorderWalk, OuterBorderGoesClockwiseAlongTheTopEdgeFirst) {
    const LabelGrid labels = gridOf({"......", ".####.", ".####.", ".####.", ".####.", "......"});
    const std::vector<QPoint> expected = {{3, 2}, {4, 2}, {5, 2}, {5, 3}, {5, 4}, {5, 5},
                                          {4, 5}, {3, 5}, {2, 5}, {2, 4}, {2, 3}, {2, 2}};
    EXPECT_EQ(walkUntilClosed(labels, 2, {2, 2}, 1), expected);
}

TEST(BorderWalk, BorderAroundAChildGoesCounterClockwiseStartingWest) {
    const LabelGrid labels = gridOf({"......", ".####.", ".#..#.", ".#..#.", ".####.", "......"});
    LabelGrid withChild = labels;
    for (int y = 3; y <= 4; ++y)
        for (int x = 3; x <= 4; ++x) withChild.at(x, y) = 3;
    const std::vector<QPoint> expected = {{2, 3}, {2, 4}, {3, 5}, {4, 5},
                                          {5, 4}, {5, 3}, {4, 2}, {3, 2}};
    EXPECT_EQ(walkUntilClosed(withChild, 2, {3, 2}, -1), expected);
}

TEST(BorderWalk, AfterEightTurnsTheStepLeavesTheFigureAndComesBack) {
    const LabelGrid labels = gridOf({".....", ".....", "..#..", ".....", "....."});
    BorderWalk walk(labels, 2, {3, 3}, 1, 0);
    EXPECT_EQ(walk.step(), QPoint(1, -1)) << "the direction of the first turn, out of the figure";
    EXPECT_EQ(walk.direction(), QPoint(0, -1)) << "a diagonal step turns once more";
    EXPECT_FALSE(walk.closed());
    EXPECT_EQ(walk.step(), QPoint(-1, 1));
    EXPECT_TRUE(walk.closed());
}

TEST(BorderWalk, CellsBeyondThePictureNeverBelongToTheFigure) {
    // The figure fills the picture; the frame and what lies beyond it are outside.
    const LabelGrid labels = gridOf({"###", "###"});
    const std::vector<QPoint> expected = {{2, 1}, {3, 1}, {3, 2}, {2, 2}, {1, 2}, {1, 1}};
    EXPECT_EQ(walkUntilClosed(labels, 2, {1, 1}, 1), expected);
    const LabelGrid single = gridOf({"#"});
    EXPECT_EQ(walkUntilClosed(single, 2, {1, 1}, 1), (std::vector<QPoint>{{2, 0}, {1, 1}}))
        << "a one-pixel picture steps into the frame and back";
}

}  // namespace
