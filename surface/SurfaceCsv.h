#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "surface/SurfaceMap.h"

// The scanner's CSV export read back as a surface map. The table has a header line naming its
// columns; "column", "row", "x_mm", "y_mm" and "sample" are needed, "z_mm" (the height in
// millimetres) is used when present, otherwise the height is the sample times the probe's scale.
// x_mm and y_mm count from the first point along the scan's columns and rows; the scanner moves
// its columns towards the machine's −X, so a column's machine X is −x_mm. Every grid point must
// appear once, on a regular grid of at least 2 × 2 points and at most kLargestSurfacePoints.

inline constexpr long long kLargestSurfacePoints = 1000000;
// A file larger than this is refused before it is read.
inline constexpr long long kLargestSurfaceFileBytes = 256LL * 1024 * 1024;

struct SurfaceCsvResult {
    std::optional<SurfaceMap> map;
    QString error;  // the message for the user when there is no map
};

// Reads the table in `bytes`; `source` becomes the map's source. `probeScaleMm`: millimetres per
// unit of the probe's sample, for tables without "z_mm".
SurfaceCsvResult parseSurfaceCsv(const QByteArray& bytes, double probeScaleMm,
                                 const QString& source);
// Reads the file `path` (its message names the file when it cannot).
SurfaceCsvResult readSurfaceCsv(const QString& path, double probeScaleMm);
