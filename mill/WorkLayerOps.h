#pragma once

#include <QString>
#include <QStringView>

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"
#include "mill/CutterGeometry.h"

// "Градиент" and "Отступить" as the figure windows run them: the new work layer replaces the old
// one and the figure tables are emptied (FigureAnalysis::emptyTables: the label grid and the
// tree stay), so a parse has to follow before a job can use the new shapes. Redrawing the
// layers is left to the window.

struct WorkLayerOutcome {
    QString error;         // not empty: refused, with the message for a box titled "Ошибка"
    bool changed = false;  // some pixel's first byte changed
    JobField field = JobField::Diameter;  // when refused: the field the user should correct
    bool refused() const { return !error.isEmpty(); }
};

// The milling window's "Градиент": reads the diameter `Text3` and width `Text6` texts, stores
// `CutterRadius` and `CutterReach` in `cutter`, and rebuilds `work` from `source` with the
// gradient at that radius. W is the source's width. When the fields are refused, nothing at
// all changes.
WorkLayerOutcome markGradientFromFields(QStringView diameterText, QStringView widthText,
                                        const PixelBuffer& source, PixelBuffer& work,
                                        FigureAnalysis& analysis, CutterSize& cutter);

// The milling window's "Отступить": grows the white of `work` by OffsetRadius (the whole
// diameter), W being the work layer's width; `CutterRadius` and `CutterReach` are not touched.
// When the fields are refused, nothing at all changes.
WorkLayerOutcome offsetFiguresFromFields(QStringView diameterText, QStringView widthText,
                                         PixelBuffer& work, FigureAnalysis& analysis);

// The outlining window's "Градиент": the three-by-three gradient of `source` into `work`.
// Returns whether some pixel's first byte differs from the source's.
bool markOutlineGradient(const PixelBuffer& source, PixelBuffer& work, FigureAnalysis& analysis);

// The outlining window's "Отступить": grows the white of `work` by one pixel, diagonals
// included. Returns whether some pixel's first byte changed.
bool offsetOutlineFigures(PixelBuffer& work, FigureAnalysis& analysis);
