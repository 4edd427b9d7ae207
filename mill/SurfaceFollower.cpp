#include "mill/SurfaceFollower.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MoveProtocol.h"

QPointF SurfaceFollower::positionOf(QPoint pixel) const {
    return {m_start.x() + (pixel.x() - 1) * m_pixel.x(),
            m_start.y() + (pixel.y() - 1) * m_pixel.y()};
}

namespace {

// The whole pixels 1..count whose position start + (p − 1) × pixel lies within [low, high].
std::pair<int, int> pixelsWithin(double low, double high, double start, double pixel, int count) {
    if (pixel == 0) return start >= low && start <= high ? std::pair{1, count} : std::pair{1, 0};
    double first = 1 + (low - start) / pixel, last = 1 + (high - start) / pixel;
    if (first > last) std::swap(first, last);
    constexpr double kEdge = 1e-9;
    const double from = std::max(1.0, std::ceil(first - kEdge));
    const double to = std::min(double(count), std::floor(last + kEdge));
    return from > to ? std::pair{1, 0} : std::pair{int(from), int(to)};
}

}  // namespace

QRect SurfaceFollower::coveredPixels(QSize picture) const {
    const double spanX = (m_map->columns - 1) * m_map->spacingX;
    const double spanY = (m_map->rows - 1) * m_map->spacingY;
    const auto [left, right] = pixelsWithin(std::min(0.0, spanX), std::max(0.0, spanX), m_start.x(),
                                            m_pixel.x(), picture.width());
    const auto [top, bottom] = pixelsWithin(std::min(0.0, spanY), std::max(0.0, spanY), m_start.y(),
                                            m_pixel.y(), picture.height());
    if (right < left || bottom < top) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

double SurfaceFollower::change(QPoint from, QPoint to) {
    if (from == to) return 0;
    const QPointF a = positionOf(from), b = positionOf(to);
    return m_map->heightAt(b.x(), b.y(), &m_leftMap) - m_map->heightAt(a.x(), a.y(), &m_leftMap);
}

QString leftMapNote() {
    return QStringLiteral("Работа вышла за карту высот: там взята высота ближайшего края карты.");
}

std::optional<SurfaceFollower> surfaceFollowerFor(const SurfaceMap* map, QPointF startMm,
                                                  MoveProtocol& protocol) {
    if (!map || map->isEmpty()) return std::nullopt;
    const MoveProtocol::PixelSteps steps = protocol.stepsPerPixel();
    const ProgramSettings& settings = protocol.settings();
    protocol.startSurfaceSteps();
    return SurfaceFollower(*map, startMm,
                           QPointF(steps.x * settings.StepRatioX, steps.y * settings.StepRatioY));
}
