#pragma once

#include <optional>

#include "scanner/ScanSurface.h"
#include "surface/SurfaceMap.h"

// The surface map of a scan: its heights in millimetres over its grid, the origin at the first
// point, the columns towards the machine's −X as the scan moves. Only a complete live scan of at
// least 2 × 2 points that measured every one has one (a dry run's samples are random, a stopped
// scan has gaps, a G-code file's scan has no machine behind it).
std::optional<SurfaceMap> SurfaceFromScan(const ScanRecord& record);
