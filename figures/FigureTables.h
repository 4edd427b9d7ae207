#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The figure analysis of a picture: which figure every pixel belongs to, each figure's tone and
// nesting depth, which figures touch, and the nesting tree. Figure numbers start at 1.

inline constexpr std::int16_t kLight = -1;
inline constexpr std::int16_t kDark = 0;

inline constexpr std::int32_t kFreeSlot = 0;
inline constexpr std::int32_t kInUse = 1;
inline constexpr std::int32_t kFinished = 4;  // set by the all-figures jobs on a figure they cut

inline constexpr std::size_t kInitialTableSize = 100;

struct FigureRecord {
    std::int32_t Depth = 0;
    std::int16_t Color = 0;
    std::int32_t State = kFreeSlot;
    friend bool operator==(const FigureRecord&, const FigureRecord&) = default;
};

struct NestingPair {
    std::int32_t Inner = 0;  // figure on the right of the first left/right boundary
    std::int32_t Outer = 0;  // figure on its left
    friend bool operator==(const NestingPair&, const NestingPair&) = default;
};

// (W + 1) × (H + 1) figure numbers: columns x = 0..W, rows y = 0..H. Row 0 and column 0 are a
// frame outside the picture; cell (x, y) with x, y ≥ 1 belongs to pixel (x, y).
class LabelGrid {
public:
    LabelGrid() = default;
    LabelGrid(int width, int height)
        : m_width(width), m_height(height),
          m_cells(std::size_t(width + 1) * std::size_t(height + 1), 0) {}
    // Takes over cells, which must hold (width + 1) × (height + 1) numbers, row 0 first.
    LabelGrid(int width, int height, std::vector<std::int32_t> cells)
        : m_width(width), m_height(height), m_cells(std::move(cells)) {}

    int width() const { return m_width; }    // picture width W
    int height() const { return m_height; }  // picture height H
    bool isEmpty() const { return m_cells.empty(); }
    bool contains(int x, int y) const { return x >= 0 && x <= m_width && y >= 0 && y <= m_height; }

    std::int32_t& at(int x, int y) { return m_cells[index(x, y)]; }
    std::int32_t at(int x, int y) const { return m_cells[index(x, y)]; }
    const std::vector<std::int32_t>& cells() const { return m_cells; }
    std::vector<std::int32_t>& cells() { return m_cells; }

    friend bool operator==(const LabelGrid&, const LabelGrid&) = default;

private:
    std::size_t index(int x, int y) const {
        return std::size_t(y) * std::size_t(m_width + 1) + std::size_t(x);
    }
    int m_width = 0;
    int m_height = 0;
    std::vector<std::int32_t> m_cells;
};

// One node of the nesting tree, in the order the nodes were added (depth first, children in
// pair-table order). parent is 0 for the root.
struct TreeNode {
    std::int32_t figure = 0;
    std::int32_t parent = 0;
    friend bool operator==(const TreeNode&, const TreeNode&) = default;
};

struct FigureAnalysis {
    LabelGrid labels;
    // The figure table: figures[n - 1] is figure n; its size is the table's size (100, doubled
    // as needed), free slots included.
    std::vector<FigureRecord> figures;
    // The pair table: pairs[k - 1] is pair k; the first pairCount are in use.
    std::vector<NestingPair> pairs;
    std::int32_t pairCount = 0;
    std::vector<TreeNode> tree;

    bool hasTree() const { return !tree.empty(); }
    // The record of figure n, or nullptr when n lies outside the table (for example a label of
    // an older analysis after the tables were emptied).
    FigureRecord* figure(std::int32_t n) {
        return n >= 1 && std::size_t(n) <= figures.size() ? &figures[std::size_t(n) - 1] : nullptr;
    }
    const FigureRecord* figure(std::int32_t n) const {
        return n >= 1 && std::size_t(n) <= figures.size() ? &figures[std::size_t(n) - 1] : nullptr;
    }

    // The figure tables as a rewrite of the work layer leaves them: 100 free figure slots, 100
    // empty pair slots, no pair in use; the label grid and the tree stay as they were.
    void emptyTables() {
        figures.assign(kInitialTableSize, FigureRecord{});
        pairs.assign(kInitialTableSize, NestingPair{});
        pairCount = 0;
    }

    friend bool operator==(const FigureAnalysis&, const FigureAnalysis&) = default;
};
