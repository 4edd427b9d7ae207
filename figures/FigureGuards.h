#pragma once

#include <QString>
#include <optional>

#include "figures/FigureTables.h"

// The two checks every figure job makes before it starts, with the messages that refuse it.

// The figure tree is there ("Разобрать" has run on a picture with figures).
QString notParsedMessage();
// No figure is selected in the tree.
QString noFigureSelectedMessage();

// The figure number of a tree node key: "P12" → 12. Nothing for a key that is not "P" followed
// by a whole number.
std::optional<std::int32_t> figureOfNodeKey(const QString& key);
// The key of a figure's tree node: 12 → "P12".
QString nodeKeyOfFigure(std::int32_t figure);
