#pragma once

#include "figures/FigureTables.h"

// Rebuilds analysis.tree from pairs 1..pairCount. The root is the Outer of the first pair whose
// Outer is the Inner of no pair; if none qualifies the tree stays empty. Below every figure come
// the Inners of its pairs in pair-table order, depth first; each figure reached gets its level
// as Depth (root 0), the others keep theirs. A figure already in the tree is not added again,
// so a malformed pair table cannot make the tree loop; pair entries naming no figure of the
// table are skipped. Nesting depth is limited by memory only, not by the call stack.
void BuildNestingTree(FigureAnalysis& analysis);
