#include "app/batch/FigureCommandSupport.h"

#include <algorithm>

std::optional<std::int32_t> selectedFigure(const BatchOptions& options,
                                           const FigureAnalysis& analysis) {
    if (!options.figure) return std::nullopt;
    const bool inTree =
        std::any_of(analysis.tree.begin(), analysis.tree.end(),
                    [&](const TreeNode& node) { return node.figure == *options.figure; });
    if (!inTree) return std::nullopt;
    return *options.figure;
}
