#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "mill/DiscChords.h"

namespace {

bool literallyInDisc(int dx, int dy, double radius, int reach) {
    return std::abs(dx) <= reach && std::abs(dy) <= reach &&
           double(dx * dx) + double(dy * dy) <= radius * radius;
}

TEST(DiscChords, EachRowHoldsExactlyTheOffsetsOfTheLiteralDisc) {
    const double radii[] = {0, 0.5, 1, std::sqrt(2.0), 1.5, 2, 2.5, 3, 5, 5 - 1e-12, 7.3, 20, 25};
    for (const double radius : radii) {
        for (const int reach : {0, 1, 2, 3, 5, 8, 20, 26}) {
            SCOPED_TRACE(testing::Message() << "radius " << radius << " reach " << reach);
            const DiscChords disc(radius, reach);
            for (int dy = -reach; dy <= reach; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    ASSERT_EQ(std::abs(dx) <= disc.halfWidth(dy),
                              literallyInDisc(dx, dy, radius, reach))
                        << dx << "," << dy;
                }
            }
        }
    }
}

// Each widening step must stay within what one step can cover (to ≤ 2 × from, or 0 to 1), and
// the steps of a group must end at its half-width; every chord row dy ≥ 0 appears once.
TEST(DiscChords, GroupsWidenInValidStepsToEachHalfWidth) {
    for (const double radius : {0.0, 1.0, 2.5, 7.3, 25.0, 70.0, 300.0}) {
        SCOPED_TRACE(radius);
        const int reach = int(std::ceil(radius));
        const DiscChords disc(radius, reach);
        int h = 0;
        int rows = 0;
        int previous = -1;
        for (const ChordGroup& group : chordGroups(disc)) {
            EXPECT_GT(group.halfWidth, previous);
            previous = group.halfWidth;
            for (const ChordStep step : group.steps) {
                EXPECT_EQ(step.from, h);
                EXPECT_TRUE(step.from == 0 ? step.to == 1 : step.to <= 2 * step.from);
                h = step.to;
            }
            EXPECT_EQ(h, group.halfWidth);
            for (const int dy : group.rows) EXPECT_EQ(disc.halfWidth(dy), group.halfWidth);
            rows += int(group.rows.size());
        }
        EXPECT_EQ(rows, int(std::floor(radius)) + 1);  // dy = 0 .. r, each also standing for −dy
    }
}

}  // namespace
