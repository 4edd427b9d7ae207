#include "link/job/ProgressClock.h"

#include <gtest/gtest.h>

namespace {

// Worked examples: time left = time per unit measured so far × units still to do.
TEST(ProgressClock, EstimatesTheTimeLeftFromTheMeasuredTimePerUnit) {
    ProgressClock clock;
    clock.start(1000);
    ProgressTimes times = clock.report({0, 10, {}}, 1000);
    EXPECT_EQ(times.elapsedMs, 0);
    EXPECT_FALSE(times.leftMs);  // nothing done yet: nothing to measure
    times = clock.report({2, 10, {}}, 5000);
    EXPECT_EQ(times.elapsedMs, 4000);
    ASSERT_TRUE(times.leftMs);
    EXPECT_EQ(*times.leftMs, 16000);
    // A pause without progress makes the estimate grow while it lasts.
    times = clock.report({2, 10, {}}, 7000);
    EXPECT_EQ(*times.leftMs, 24000);
    times = clock.report({10, 10, {}}, 9000);
    EXPECT_EQ(*times.leftMs, 0);
    // A job that knows no total gets no estimate.
    EXPECT_FALSE(clock.report({11, 0, {}}, 9500).leftMs);
}

// The time per unit follows the recent pace: after a slow start, a fast stretch longer than the
// measuring window alone decides the estimate.
TEST(ProgressClock, FollowsAChangeOfPace) {
    ProgressClock clock;
    clock.start(0);
    std::int64_t now = 0;
    for (int done = 1; done <= 10; ++done) clock.report({done, 1000, {}}, now += 1000);
    ProgressTimes times;
    for (int done = 11; done <= 400; ++done) times = clock.report({done, 1000, {}}, now += 100);
    ASSERT_TRUE(times.leftMs);
    EXPECT_NEAR(double(*times.leftMs), 600 * 100.0, 600 * 100.0 * 0.02);
    EXPECT_EQ(times.elapsedMs, now);
}

TEST(ProgressClock, AJobThatStartsCountingAgainIsMeasuredAfresh) {
    ProgressClock clock;
    clock.start(0);
    clock.report({50, 100, {}}, 50000);                              // 1 s per unit
    const ProgressTimes times = clock.report({10, 100, {}}, 51000);  // a new ring: 0 → 10 in 1 s
    EXPECT_FALSE(times.leftMs);                                      // one sample of the new count
    EXPECT_EQ(*clock.report({20, 100, {}}, 52000).leftMs, 8000);
}

TEST(ProgressClock, DurationsReadAsMinutesAndSeconds) {
    EXPECT_EQ(formatDuration(0), QStringLiteral("0:00"));
    EXPECT_EQ(formatDuration(65'999), QStringLiteral("1:05"));
    EXPECT_EQ(formatDuration(3'723'000), QStringLiteral("1:02:03"));
    EXPECT_EQ(formatDuration(-5), QStringLiteral("0:00"));
    EXPECT_EQ(progressLine({3, 12, QStringLiteral("фигура 3")}, {41'000, 123'000}),
              QStringLiteral("3 из 12 · прошло 0:41 · осталось ≈ 2:03 · фигура 3"));
    EXPECT_EQ(progressLine({420, 0, {}}, {1000, std::nullopt}),
              QStringLiteral("420 · прошло 0:01"));
}

}  // namespace
