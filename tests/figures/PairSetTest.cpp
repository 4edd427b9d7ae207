#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

#include "AnalysisExpectations.h"
#include "figures/PairSet.h"

// The pair table as boundaries are recorded, against a plain ordered set of pairs.

namespace {

class PairStreams : public testing::TestWithParam<int> {};

// Few figures and many boundaries: figures soon have more partners than they list, so pairs
// move to the hash set in every order of events.
TEST_P(PairStreams, RecordEachPairOnceInTheOrientationFirstMet) {
    const int figures = GetParam();
    std::mt19937 random{std::uint32_t(figures)};
    std::uniform_int_distribution<std::int32_t> number(1, figures);
    FigureAnalysis analysis;
    analysis.figures.resize(std::size_t(figures));
    PairSet set(analysis);
    std::set<std::pair<std::int32_t, std::int32_t>> known;
    std::vector<NestingPair> expected;
    for (int step = 0; step < 20000; ++step) {
        const std::int32_t left = number(random);
        const std::int32_t right = number(random);
        if (left == right) continue;
        set.RecordPair(left, right);
        if (known.insert(std::minmax(left, right)).second) expected.push_back({right, left});
    }
    ASSERT_EQ(analysis.pairCount, std::int32_t(expected.size()));
    EXPECT_GE(analysis.pairs.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(k);
        ASSERT_EQ(analysis.pairs[k], expected[k]);
    }
}

INSTANTIATE_TEST_SUITE_P(FigureCounts, PairStreams, testing::Values(3, 5, 12, 40, 300));

TEST(PairSet, TableStartsAtAHundredAndDoubles) {
    FigureAnalysis analysis;
    analysis.figures.resize(400);
    PairSet set(analysis);
    EXPECT_EQ(analysis.pairs.size(), 100u);
    for (std::int32_t n = 2; n <= 101; ++n) set.RecordPair(1, n);
    EXPECT_EQ(analysis.pairs.size(), 100u);
    set.RecordPair(1, 102);
    EXPECT_EQ(analysis.pairs.size(), 200u);
    EXPECT_EQ(analysis.pairs[100], (NestingPair{102, 1}));
}

}  // namespace
