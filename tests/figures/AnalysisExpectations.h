#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "figures/FigureTables.h"

inline void PrintTo(const TreeNode& node, std::ostream* out) {
    *out << "P" << node.figure << " under " << node.parent;
}

inline void PrintTo(const NestingPair& pair, std::ostream* out) {
    *out << "(outer " << pair.Outer << ", inner " << pair.Inner << ")";
}

// Compares two analyses part by part, so that a failure names the first part that differs
// (the first differing cell of the label grid, figure record, pair or tree node).
inline void expectSameAnalysis(const FigureAnalysis& actual, const FigureAnalysis& expected) {
    ASSERT_EQ(actual.labels.width(), expected.labels.width());
    ASSERT_EQ(actual.labels.height(), expected.labels.height());
    for (int y = 0; y <= expected.labels.height(); ++y) {
        for (int x = 0; x <= expected.labels.width(); ++x) {
            ASSERT_EQ(actual.labels.at(x, y), expected.labels.at(x, y)) << "cell " << x << "," << y;
        }
    }
    ASSERT_EQ(actual.figures.size(), expected.figures.size());
    for (std::size_t n = 0; n < expected.figures.size(); ++n) {
        const FigureRecord& a = actual.figures[n];
        const FigureRecord& e = expected.figures[n];
        ASSERT_TRUE(a == e) << "figure " << n + 1 << ": state " << a.State << " vs " << e.State
                            << ", colour " << a.Color << " vs " << e.Color << ", depth " << a.Depth
                            << " vs " << e.Depth;
    }
    ASSERT_EQ(actual.pairCount, expected.pairCount);
    ASSERT_EQ(actual.pairs.size(), expected.pairs.size());
    for (std::size_t k = 0; k < expected.pairs.size(); ++k) {
        ASSERT_EQ(actual.pairs[k].Outer, expected.pairs[k].Outer) << "pair " << k + 1;
        ASSERT_EQ(actual.pairs[k].Inner, expected.pairs[k].Inner) << "pair " << k + 1;
    }
    ASSERT_EQ(actual.tree.size(), expected.tree.size());
    for (std::size_t i = 0; i < expected.tree.size(); ++i) {
        ASSERT_EQ(actual.tree[i].figure, expected.tree[i].figure) << "node " << i;
        ASSERT_EQ(actual.tree[i].parent, expected.tree[i].parent) << "node " << i;
    }
}
