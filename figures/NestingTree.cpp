#include "figures/NestingTree.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// The Inners of every figure's pairs, in pair-table order, built once: children of figure n are
// list[start[n] .. start[n + 1]).
struct ChildLists {
    std::vector<std::size_t> start;
    std::vector<std::int32_t> list;
};

bool namesFigures(const FigureAnalysis& analysis, const NestingPair& pair) {
    return analysis.figure(pair.Outer) != nullptr && analysis.figure(pair.Inner) != nullptr;
}

ChildLists childListsOf(const FigureAnalysis& analysis, std::size_t pairCount) {
    ChildLists children;
    children.start.assign(analysis.figures.size() + 2, 0);
    for (std::size_t k = 0; k < pairCount; ++k) {
        const NestingPair& pair = analysis.pairs[k];
        if (namesFigures(analysis, pair)) {
            ++children.start[std::size_t(pair.Outer) + 1];
        }
    }
    for (std::size_t n = 1; n < children.start.size(); ++n) {
        children.start[n] += children.start[n - 1];
    }
    children.list.resize(children.start.back());
    std::vector<std::size_t> fill(children.start.begin(), children.start.end() - 1);
    for (std::size_t k = 0; k < pairCount; ++k) {
        const NestingPair& pair = analysis.pairs[k];
        if (namesFigures(analysis, pair)) {
            children.list[fill[std::size_t(pair.Outer)]++] = pair.Inner;
        }
    }
    return children;
}

// Adds the figures below root, depth first with children in pair-table order, keeping the
// figures still being descended on an explicit stack instead of the call stack.
void AddChildNodes(FigureAnalysis& analysis, const ChildLists& children, std::int32_t root,
                   std::vector<bool>& inTree) {
    struct Level {
        std::int32_t figure;
        std::size_t next;    // index into children.list of the next child to visit
        std::int32_t depth;  // the Depth of this figure's children
    };
    std::vector<Level> stack{{root, children.start[std::size_t(root)], 1}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == children.start[std::size_t(level.figure) + 1]) {
            stack.pop_back();
            continue;
        }
        const std::int32_t child = children.list[level.next++];
        if (inTree[std::size_t(child)]) continue;
        inTree[std::size_t(child)] = true;
        analysis.figure(child)->Depth = level.depth;
        analysis.tree.push_back({child, level.figure});
        const std::int32_t childDepth = level.depth + 1;
        stack.push_back({child, children.start[std::size_t(child)], childDepth});
    }
}

}  // namespace

void BuildNestingTree(FigureAnalysis& analysis) {
    analysis.tree.clear();
    const std::size_t pairCount =
        std::min(std::size_t(std::max(analysis.pairCount, 0)), analysis.pairs.size());
    std::vector<bool> isInner(analysis.figures.size() + 1, false);
    for (std::size_t k = 0; k < pairCount; ++k) {
        const NestingPair& pair = analysis.pairs[k];
        if (namesFigures(analysis, pair)) isInner[std::size_t(pair.Inner)] = true;
    }
    std::int32_t root = 0;
    for (std::size_t k = 0; k < pairCount && root == 0; ++k) {
        const NestingPair& pair = analysis.pairs[k];
        if (namesFigures(analysis, pair) && !isInner[std::size_t(pair.Outer)]) {
            root = pair.Outer;
        }
    }
    if (root == 0) return;

    analysis.figure(root)->Depth = 0;
    analysis.tree.push_back({root, 0});
    std::vector<bool> inTree(analysis.figures.size() + 1, false);
    inTree[std::size_t(root)] = true;
    AddChildNodes(analysis, childListsOf(analysis, pairCount), root, inTree);
}
