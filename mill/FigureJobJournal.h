#pragma once

#include <QList>
#include <cstdint>
#include <optional>

#include "figures/FigureJobStart.h"
#include "figures/PictureLayers.h"
#include "figures/ToolPosition.h"
#include "link/protocol/JobJournal.h"

struct ProgramSettings;

// What besides the picture and the size fields shapes the lines of a milling or outlining job,
// for its journal: the work layer as the job starts (after "Градиент" and "Отступить"), the
// cutter layer (cut levels are read from it), the figures parsed, and where the tool starts.
QList<JournalEntry> figureJobEntries(const PictureLayers& layers, const FigureAnalysis& analysis,
                                     const ToolPosition& tool);

// The journal of a window's figure job `words` ("mill all") on the picture at `picturePath`,
// named as the batch command line names it: the picture, the window's `fields`, the entries
// of `start` and the settings.
QList<JournalEntry> figureJobIdentity(const QString& window, const QString& words,
                                      const QString& picturePath, const FigureJobStart& start,
                                      QList<JournalEntry> fields, const ProgramSettings& settings);

// The largest figure number of the tree, 0 when nothing is parsed: a job started from a chosen
// figure ("Начать с…") takes one from 1 to it.
qint64 largestFigure(const FigureAnalysis& analysis);

// The figure that a journal's job words "COMMAND selected N" name (0: none was selected), or
// nothing when `words` are not of that form.
std::optional<std::int32_t> selectedFigureOfWords(const QString& words, const QString& command);
