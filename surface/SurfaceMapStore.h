#pragma once

#include <QObject>
#include <optional>

#include "surface/SurfaceMap.h"

// The program's current surface map, shared by the windows: a finished scan puts its map here,
// the milling window shows it and follows it when asked. Made once with the program and handed
// down in its context.
class SurfaceMapStore : public QObject {
    Q_OBJECT
public:
    const std::optional<SurfaceMap>& map() const { return m_map; }
    // A new map: replaces the one held and announces it with `fromScan` (a scan just measured
    // it, rather than a file being opened).
    void replace(SurfaceMap map, bool fromScan) {
        m_map = std::move(map);
        emit changed(fromScan);
    }
    // No map any more (a test program between its tests); announced as not from a scan.
    void clear() {
        m_map.reset();
        emit changed(false);
    }

signals:
    void changed(bool fromScan);

private:
    std::optional<SurfaceMap> m_map;
};
