#pragma once

#include <QPoint>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "figures/FigureTables.h"

// Where the border traces start, found for every figure in one pass over the label grid instead
// of one scan of the picture per border. The search covers rows 1 .. H − 1 (a start pixel needs
// a row below it), each row from the left:
// - the outer border of F starts at F's first pixel;
// - the border around a child C of F starts at the first pixel of F whose lower neighbour is C.
class BorderStarts {
public:
    explicit BorderStarts(const LabelGrid& labels);

    std::optional<QPoint> outer(std::int32_t figure) const;
    std::optional<QPoint> aroundChild(std::int32_t figure, std::int32_t child) const;

private:
    static std::uint64_t key(std::int32_t figure, std::int32_t child) {
        return (std::uint64_t(std::uint32_t(figure)) << 32) | std::uint32_t(child);
    }
    std::unordered_map<std::int32_t, QPoint> m_outer;
    std::unordered_map<std::uint64_t, QPoint> m_aroundChild;
};

// The figures whose cells appear in rows 1 .. H, in the order in which a row-by-row scan from
// the top left meets their first cell.
std::vector<std::int32_t> figuresInScanOrder(const LabelGrid& labels);
