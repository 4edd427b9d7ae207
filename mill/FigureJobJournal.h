#pragma once

#include <QList>

#include "figures/PictureLayers.h"
#include "figures/ToolPosition.h"
#include "link/protocol/JobJournal.h"

// What besides the picture and the size fields shapes the lines of a milling or outlining job,
// for its journal: the work layer as the job starts (after "Градиент" and "Отступить"), the
// cutter layer (cut levels are read from it), the figures parsed, and where the tool starts.
QList<JournalEntry> figureJobEntries(const PictureLayers& layers, const FigureAnalysis& analysis,
                                     const ToolPosition& tool);

// The largest figure number of the tree, 0 when nothing is parsed: a job started from a chosen
// figure ("Начать с…") takes one from 1 to it.
qint64 largestFigure(const FigureAnalysis& analysis);
