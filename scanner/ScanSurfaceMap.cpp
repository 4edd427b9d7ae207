#include "scanner/ScanSurfaceMap.h"

std::optional<SurfaceMap> SurfaceFromScan(const ScanRecord& record) {
    const HeightMap& grid = record.map;
    const qint64 points = qint64(grid.width) * grid.height;
    if (!record.live || grid.width < 2 || grid.height < 2 || record.taken != points ||
        record.measured != points || record.heightsMm.size() != grid.values.size() ||
        record.pitchXmm == 0 || record.pitchYmm == 0) {
        return std::nullopt;
    }
    SurfaceMap map;
    map.columns = grid.width;
    map.rows = grid.height;
    // The scan's moves to the next column are sent as −X.
    map.spacingX = -record.pitchXmm;
    map.spacingY = record.pitchYmm;
    map.heights = record.heightsMm;
    return map;
}
