#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "figures/FigureNumbers.h"
#include "figures/NestingTree.h"
#include "figures/PairSet.h"
#include "tests/support/AnalysisExpectations.h"

// The bookkeeping behind the figure parse: the slot and pair sets against plain ordered sets
// under random use, and the tree builder on pair tables that no picture produces.

namespace {

TEST(LowestFreeSlots, AgreesWithAnOrderedSet) {
    for (const int range : {5, 64, 65, 4096, 4097, 300000}) {
        SCOPED_TRACE(range);
        std::mt19937 random{std::uint32_t(range)};
        std::uniform_int_distribution<int> number(1, range);
        LowestFreeSlots slots;
        std::set<int> expected;
        for (int step = 0; step < 20000; ++step) {
            const int n = number(random);
            if (random() % 3 == 0 && !expected.empty()) {
                const int low = *expected.begin();
                ASSERT_EQ(slots.lowest(), low);
                slots.erase(low);
                expected.erase(low);
            } else if (expected.count(n)) {
                slots.erase(n);
                expected.erase(n);
            } else {
                slots.insert(n);
                expected.insert(n);
            }
            ASSERT_EQ(slots.empty(), expected.empty());
            if (!expected.empty()) {
                ASSERT_EQ(slots.lowest(), *expected.begin());
            }
        }
    }
}

// Few figures and many boundaries: figures soon have more partners than they list, so pairs
// move to the hash set in every order of events.
TEST(PairSet, RecordsEachPairOnceInTheOrientationFirstMet) {
    for (const int figures : {3, 5, 12, 40, 300}) {
        SCOPED_TRACE(figures);
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
        analysis.pairs.resize(expected.size());
        expectSameItems(analysis.pairs, expected, "pair");
    }
}

using Tree = std::vector<TreeNode>;

// The analysis of ten figure slots whose pairs in use are outerInner (Outer, Inner), after
// BuildNestingTree; figure 1 has depth 7 before, and a pair {9, 3} lies just beyond those in use.
FigureAnalysis built(std::initializer_list<std::pair<std::int32_t, std::int32_t>> outerInner) {
    FigureAnalysis a;
    a.emptyTables();
    a.figures.resize(10);
    for (const auto& [outer, inner] : outerInner) {
        a.pairs[std::size_t(a.pairCount++)] = NestingPair{inner, outer};
    }
    a.pairs[std::size_t(a.pairCount)] = NestingPair{9, 3};
    a.figure(1)->Depth = 7;
    a.tree = {{5, 0}};
    BuildNestingTree(a);
    return a;
}

TEST(BuildNestingTree, AFigureReachedTwiceOrInACycleIsAddedOnce) {
    EXPECT_EQ(built({{1, 2}, {1, 3}, {2, 3}}).tree, (Tree{{1, 0}, {2, 1}, {3, 2}}));
    EXPECT_EQ(built({{1, 2}, {2, 3}, {3, 4}, {4, 2}}).tree, (Tree{{1, 0}, {2, 1}, {3, 2}, {4, 3}}));
    // Every figure is some pair's Inner: no root, an empty tree and the depths left alone.
    const FigureAnalysis noRoot = built({{1, 2}, {2, 1}});
    EXPECT_TRUE(noRoot.tree.empty());
    EXPECT_EQ(noRoot.figure(1)->Depth, 7);
}

TEST(BuildNestingTree, OnlyPairsInUseAndNumbersOfTheTableCount) {
    FigureAnalysis a = built({{0, 4}, {1, 500}, {-3, 1}, {1, 2}, {2, 3}});
    EXPECT_EQ(a.tree, (Tree{{1, 0}, {2, 1}, {3, 2}}));
    a.pairCount = 1000;  // more than the table holds
    BuildNestingTree(a);
    EXPECT_EQ(a.tree, (Tree{{1, 0}, {2, 1}, {3, 2}, {9, 3}}));
}

TEST(BuildNestingTree, ADeepChainDoesNotDependOnTheCallStack) {
    const std::int32_t levels = 300000;
    FigureAnalysis a;
    a.figures.resize(std::size_t(levels) + 1);
    for (std::int32_t k = 1; k <= levels; ++k) a.pairs.push_back(NestingPair{k + 1, k});
    a.pairCount = levels;
    BuildNestingTree(a);
    ASSERT_EQ(a.tree.size(), std::size_t(levels) + 1);
    EXPECT_EQ(a.tree.back(), (TreeNode{levels + 1, levels}));
    EXPECT_EQ(a.figure(levels + 1)->Depth, levels);
}

}  // namespace
