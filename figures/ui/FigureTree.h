#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "figures/FigureTables.h"

class QTreeWidget;
class QTreeWidgetItem;

// The figure tree `tv` of the milling and outlining windows: one node per figure of the
// nesting tree, keyed "P" + its number, showing the number, under the node of the figure that
// encloses it.

// Replaces the nodes of tv with analysis.tree (nodes in the order they were added), all
// expanded. An empty tree leaves tv empty.
void fillFigureTree(QTreeWidget* tv, const FigureAnalysis& analysis);

// The key of a node: "P" and the figure number it shows ("P12").
QString figureNodeKey(const QTreeWidgetItem* node);

// The figure number of the selected node of tv (key without its first character), or nothing
// when no node is selected.
std::optional<std::int32_t> selectedFigureOf(const QTreeWidget* tv);
