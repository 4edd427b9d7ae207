#include "surface/SurfaceMap.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "app/config/NumberText.h"

namespace {

// Grid coordinate (0-based, fractional) of a position along one axis, clamped to the grid.
double gridCoordinate(double position, double spacing, int points, bool& outside) {
    const double t = position / spacing;
    // Well below a micrometre on any real grid: a point on the edge is still inside.
    constexpr double kEdge = 1e-9;
    if (!(t >= -kEdge)) {
        outside = true;
        return 0;
    }
    if (t > points - 1 + kEdge) {
        outside = true;
        return points - 1;
    }
    return std::clamp(t, 0.0, double(points - 1));
}

}  // namespace

double SurfaceMap::widthMm() const {
    return std::abs(spacingX) * std::max(columns - 1, 0);
}

double SurfaceMap::heightMm() const {
    return std::abs(spacingY) * std::max(rows - 1, 0);
}

double SurfaceMap::heightAt(double x, double y, bool* outside) const {
    if (isEmpty()) return 0;
    bool left = false;
    const double gx = gridCoordinate(x, spacingX, columns, left);
    const double gy = gridCoordinate(y, spacingY, rows, left);
    if (outside && left) *outside = true;
    const int i = std::min(int(gx), columns - 2);
    const int j = std::min(int(gy), rows - 2);
    const double u = gx - i, v = gy - j;
    const double top = at(i + 1, j + 1) * (1 - u) + at(i + 2, j + 1) * u;
    const double bottom = at(i + 1, j + 2) * (1 - u) + at(i + 2, j + 2) * u;
    return top * (1 - v) + bottom * v;
}

QString SurfaceMap::description() const {
    const QString grid = QStringLiteral("%1 × %2 точек, %3 × %4 мм")
                             .arg(columns)
                             .arg(rows)
                             .arg(formatGeneral(std::round(widthMm() * 100) / 100),
                                  formatGeneral(std::round(heightMm() * 100) / 100));
    if (source.isEmpty()) return QStringLiteral("скан, ") + grid;
    return QFileInfo(source).fileName() + QStringLiteral(": ") + grid;
}

QString noSurfaceText() {
    return QStringLiteral("карта не загружена");
}
