#pragma once

#include <QByteArray>
#include <QIODevice>

#include "figures/FigureTables.h"

// The figure analysis as text, for the batch command `parse`.

// "picture W H"; one "figure N light|dark depth D" per figure in use, ascending N; one
// "pair OUTER INNER" per pair in use, in table order; one "node KEY PARENT" per tree node, in
// the order they were added, PARENT being the parent's key or "-" for the root. Lines end in LF.
QByteArray figureReport(const FigureAnalysis& analysis);

// The label grid: H + 1 lines (y = 0..H), each of W + 1 numbers (x = 0..W) separated by one
// space, ending in LF. Writes row by row; returns false if the device refuses a write.
bool writeLabelGrid(const LabelGrid& labels, QIODevice& device);
