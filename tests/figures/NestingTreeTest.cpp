#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "AnalysisExpectations.h"
#include "figures/NestingTree.h"

// The tree builder on pair tables written by hand, including tables that no picture produces.

namespace {

// An analysis with `figures` figure slots and the given pairs (Outer, Inner) in use.
FigureAnalysis withPairs(std::size_t figures,
                         std::initializer_list<std::pair<std::int32_t, std::int32_t>> outerInner) {
    FigureAnalysis a;
    a.emptyTables();
    a.figures.resize(std::max(figures, a.figures.size()));
    for (const auto& [outer, inner] : outerInner) {
        a.pairs[std::size_t(a.pairCount++)] = NestingPair{inner, outer};
    }
    return a;
}

TEST(BuildNestingTree, RootIsTheFirstOuterThatIsNobodysInnerAndChildrenKeepPairOrder) {
    FigureAnalysis a = withPairs(10, {{3, 1}, {2, 3}, {3, 5}, {2, 4}, {5, 6}, {3, 7}});
    BuildNestingTree(a);
    EXPECT_EQ(a.tree,
              (std::vector<TreeNode>{{2, 0}, {3, 2}, {1, 3}, {5, 3}, {6, 5}, {7, 3}, {4, 2}}));
    EXPECT_EQ(a.figure(2)->Depth, 0);
    EXPECT_EQ(a.figure(6)->Depth, 3);
    EXPECT_EQ(a.figure(4)->Depth, 1);
}

TEST(BuildNestingTree, AFigureReachedTwiceIsAddedOnce) {
    FigureAnalysis a = withPairs(10, {{1, 2}, {1, 3}, {2, 3}});
    BuildNestingTree(a);
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 2}}));
}

TEST(BuildNestingTree, ACycleBelowTheRootEnds) {
    FigureAnalysis a = withPairs(10, {{1, 2}, {2, 3}, {3, 4}, {4, 2}});
    BuildNestingTree(a);
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 2}, {4, 3}}));
}

TEST(BuildNestingTree, NoQualifyingRootLeavesTheTreeEmptyAndDepthsAlone) {
    FigureAnalysis a = withPairs(10, {{1, 2}, {2, 1}});
    a.figure(1)->Depth = 7;
    a.tree = {{5, 0}};
    BuildNestingTree(a);
    EXPECT_TRUE(a.tree.empty());
    EXPECT_EQ(a.figure(1)->Depth, 7);
}

TEST(BuildNestingTree, OnlyPairsInUseAndNumbersOfTheTableCount) {
    FigureAnalysis a = withPairs(10, {{0, 4}, {1, 500}, {-3, 1}, {1, 2}, {2, 3}});
    a.pairs[std::size_t(a.pairCount)] = NestingPair{9, 3};  // beyond pairCount: ignored
    BuildNestingTree(a);
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 2}}));

    a.pairCount = 1000;  // more than the table holds
    BuildNestingTree(a);
    EXPECT_EQ(a.tree, (std::vector<TreeNode>{{1, 0}, {2, 1}, {3, 2}, {9, 3}}));
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
