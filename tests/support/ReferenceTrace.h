#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"

// The border tracing of the milling and outlining jobs exactly as the program states it: one
// scan of the picture for each border's start pixel, one scan of the label grid per depth for
// the all-figures jobs, the step rule with its own turn tables, a whole copy of the layer per
// figure for the levels. Kept as the reference for the fast tracer. Moves are written as the
// lines a controller sees with one motor step per pixel and per level.
struct ReferenceTracer {
    enum class Tool { Cutter, Laser };
    Tool tool = Tool::Cutter;
    double radius = 0;  // the cutter's disc (the laser's mark is the 3 × 3 block)
    int reach = 0;
    bool output = true;  // the output box; clear, nothing is sent

    // What the run did.
    QList<QByteArray> lines;
    int waits = 0;  // answers awaited
    std::int64_t steps = 0;
    int toolX = 1, toolY = 1, toolLevel = 0;

    // One figure, its borders around children in pair order, then its outer border; marks
    // painted into `layer`.
    void traceFigure(const FigureAnalysis& analysis, PixelBuffer& layer, std::int32_t figure);
    // The dark figures with 0 < State < 4, deepest first, each traced and given State 4.
    void traceAll(FigureAnalysis& analysis, PixelBuffer& layer);

private:
    void send(int dx, int dy, int dz, bool wait);
};
