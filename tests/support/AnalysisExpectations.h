#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "figures/FigureTables.h"

inline void PrintTo(const TreeNode& node, std::ostream* out) {
    *out << "P" << node.figure << " under " << node.parent;
}

inline void PrintTo(const NestingPair& pair, std::ostream* out) {
    *out << "(outer " << pair.Outer << ", inner " << pair.Inner << ")";
}

inline void PrintTo(const FigureRecord& f, std::ostream* out) {
    *out << "(state " << f.State << ", colour " << f.Color << ", depth " << f.Depth << ")";
}

// Compares two tables item by item, so that a failure names the first item that differs.
template <typename T>
void expectSameItems(const std::vector<T>& actual, const std::vector<T>& expected,
                     const char* what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << what << " " << i + 1;
    }
}

// Compares two analyses part by part: label grid, figure table, pair table and tree.
inline void expectSameAnalysis(const FigureAnalysis& actual, const FigureAnalysis& expected) {
    ASSERT_EQ(actual.labels.width(), expected.labels.width());
    ASSERT_EQ(actual.labels.height(), expected.labels.height());
    for (int y = 0; y <= expected.labels.height(); ++y) {
        for (int x = 0; x <= expected.labels.width(); ++x) {
            ASSERT_EQ(actual.labels.at(x, y), expected.labels.at(x, y)) << "cell " << x << "," << y;
        }
    }
    expectSameItems(actual.figures, expected.figures, "figure");
    ASSERT_EQ(actual.pairCount, expected.pairCount);
    expectSameItems(actual.pairs, expected.pairs, "pair");
    expectSameItems(actual.tree, expected.tree, "node");
}
