#pragma once

#include <QPointF>
#include <optional>

#include "app/batch/BatchCommandLine.h"
#include "surface/SurfaceMap.h"

// `mill|outline ... --surface FILE.csv [--surface-offset X,Y]`: the height map the job follows
// and where the job starts on it.
struct SurfaceChoice {
    std::optional<SurfaceMap> map;  // nothing: the flat plane
    QPointF startMm;
    int exitStatus = kExitDone;  // not kExitDone: refused, the message printed
};

// Reads the options; `probeScaleMm` for a CSV without heights in millimetres.
SurfaceChoice readSurfaceOption(const BatchOptions& options, double probeScaleMm);
