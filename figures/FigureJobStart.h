#pragma once

#include "figures/FigureTables.h"
#include "figures/PictureLayers.h"
#include "figures/ToolPosition.h"

// What a milling or outlining job of a window starts from: its layers, its figures and where
// the tool stands. Kept while the job runs, so that "Продолжить" goes on from the same start.
struct FigureJobStart {
    PictureLayers layers;
    FigureAnalysis analysis;
    ToolPosition tool;
};
