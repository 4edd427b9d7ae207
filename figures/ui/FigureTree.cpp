#include "figures/ui/FigureTree.h"

#include <QTreeWidget>
#include <unordered_map>

#include "figures/FigureGuards.h"

namespace {

QTreeWidgetItem* makeNode(std::int32_t figure) {
    auto* node = new QTreeWidgetItem;
    node->setText(0, QString::number(figure));
    return node;
}

}  // namespace

void fillFigureTree(QTreeWidget* tv, const FigureAnalysis& analysis) {
    tv->clear();
    if (analysis.tree.empty()) return;
    // The nodes are joined while they are outside the view, so that adding tens of thousands
    // of them does not update the view once per node.
    std::unordered_map<std::int32_t, QTreeWidgetItem*> nodes;
    nodes.reserve(analysis.tree.size());
    QList<QTreeWidgetItem*> roots;
    for (const TreeNode& entry : analysis.tree) {
        QTreeWidgetItem* node = makeNode(entry.figure);
        const auto parent = nodes.find(entry.parent);
        if (entry.parent == 0 || parent == nodes.end()) {
            roots.append(node);
        } else {
            parent->second->addChild(node);
        }
        nodes.emplace(entry.figure, node);
    }
    tv->addTopLevelItems(roots);
    tv->expandAll();
}

QString figureNodeKey(const QTreeWidgetItem* node) {
    return nodeKeyOfFigure(node->text(0).toInt());
}

std::optional<std::int32_t> selectedFigureOf(const QTreeWidget* tv) {
    const QList<QTreeWidgetItem*> selected = tv->selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    return figureOfNodeKey(figureNodeKey(selected.first()));
}
