#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <optional>

#include "surface/SurfaceMap.h"

// A picture job over a probed surface: where each picture pixel lies on the map and how much the
// surface rises or falls between two pixels. Pixel (1, 1) is where the job started, `startMm`
// from the map's origin (the machine's millimetres); one pixel is `pixelMm` along each axis, as
// the machine moves (signed). Remembers whether any position lay outside the map.
class SurfaceFollower {
public:
    // `map` outlives the follower.
    SurfaceFollower(const SurfaceMap& map, QPointF startMm, QPointF pixelMm)
        : m_map(&map), m_start(startMm), m_pixel(pixelMm) {}

    // The machine position of a 1-based pixel, mm from the map's origin.
    QPointF positionOf(QPoint pixel) const;
    // The surface's height at `to` minus that at `from`, mm.
    double change(QPoint from, QPoint to);
    // The pixels of a picture of `picture` size that lie on the map (1-based, x right, y down);
    // empty when none does.
    QRect coveredPixels(QSize picture) const;
    // Whether a position met so far lay outside the map (its edge's height was taken).
    bool leftMap() const { return m_leftMap; }

private:
    const SurfaceMap* m_map;
    QPointF m_start;
    QPointF m_pixel;
    bool m_leftMap = false;
};

// The note of a job that left the map, said once.
QString leftMapNote();

class MoveProtocol;
// The follower of `map` for a job starting now on `protocol`'s picture, one pixel being the steps
// per pixel of the finished width times the step ratios; nothing without a map. Refuses
// (JobEnded) as MoveProtocol::stepsPerPixel does, and clears the protocol's fractions of a step.
std::optional<SurfaceFollower> surfaceFollowerFor(const SurfaceMap* map, QPointF startMm,
                                                  MoveProtocol& protocol);
