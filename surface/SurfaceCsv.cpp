#include "surface/SurfaceCsv.h"

#include <QFile>
#include <QList>
#include <cmath>
#include <vector>

#include "app/config/NumberText.h"

namespace {

// How far a point may lie from its place on the regular grid, mm (the CSV keeps 10 digits).
constexpr double kGridTolerance = 1e-4;

SurfaceCsvResult failure(const QString& message) {
    return {std::nullopt, message};
}

struct Point {
    int column = 0;
    int row = 0;
    double x = 0;
    double y = 0;
    double height = 0;
};

}  // namespace

SurfaceCsvResult parseSurfaceCsv(const QByteArray& bytes, double probeScaleMm,
                                 const QString& source) {
    QList<QByteArray> lines = bytes.split('\n');
    while (!lines.isEmpty() && lines.back().trimmed().isEmpty()) lines.removeLast();
    if (lines.isEmpty()) return failure(QStringLiteral("Файл карты высот пуст."));
    const QList<QByteArray> header = lines.front().trimmed().split(',');
    const auto columnOf = [&](const char* name) { return header.indexOf(QByteArray(name)); };
    const qsizetype column = columnOf("column"), row = columnOf("row"), x = columnOf("x_mm"),
                    y = columnOf("y_mm"), sample = columnOf("sample"), z = columnOf("z_mm");
    if (column < 0 || row < 0 || x < 0 || y < 0 || (sample < 0 && z < 0)) {
        return failure(
            QStringLiteral("В файле карты высот нет заголовка column,row,x_mm,y_mm,"
                           "sample: это не таблица сканера."));
    }
    if (lines.size() - 1 > kLargestSurfacePoints)
        return failure(QStringLiteral("В карте высот больше %1 точек.").arg(kLargestSurfacePoints));

    std::vector<Point> points;
    points.reserve(std::size_t(lines.size() - 1));
    int columns = 0, rows = 0;
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QList<QByteArray> fields = lines[n].trimmed().split(',');
        const auto number = [&](qsizetype index) -> std::optional<double> {
            if (index < 0 || index >= fields.size()) return std::nullopt;
            return parseNumber(QString::fromLatin1(fields[index]));
        };
        const auto i = number(column), j = number(row), px = number(x), py = number(y);
        const auto height = z >= 0 ? number(z) : number(sample);
        if (!i || !j || !px || !py || !height || !std::isfinite(*height) || *i != std::floor(*i) ||
            *j != std::floor(*j) || *i < 1 || *j < 1 || *i > kLargestSurfacePoints ||
            *j > kLargestSurfacePoints) {
            return failure(QStringLiteral("Строка %1 файла карты высот не читается.").arg(n + 1));
        }
        Point point{int(*i), int(*j), *px, *py, z >= 0 ? *height : *height * probeScaleMm};
        columns = std::max(columns, point.column);
        rows = std::max(rows, point.row);
        points.push_back(point);
    }
    if (columns < 2 || rows < 2) {
        return failure(QStringLiteral("В карте высот нужно не меньше 2 × 2 точек."));
    }
    if (qint64(columns) * rows != qint64(points.size())) {
        return failure(QStringLiteral("Карта высот неполна: %1 точек вместо %2 × %3.")
                           .arg(points.size())
                           .arg(columns)
                           .arg(rows));
    }

    SurfaceMap map;
    map.columns = columns;
    map.rows = rows;
    map.source = source;
    map.heights.assign(points.size(), 0);
    std::vector<bool> seen(points.size(), false);
    const Point* first = nullptr;
    const Point* nextColumn = nullptr;
    const Point* nextRow = nullptr;
    for (const Point& point : points) {
        const std::size_t index = std::size_t(point.row - 1) * columns + (point.column - 1);
        if (seen[index]) {
            return failure(QStringLiteral("Точка (%1, %2) встречается в карте высот дважды.")
                               .arg(point.column)
                               .arg(point.row));
        }
        seen[index] = true;
        map.heights[index] = point.height;
        if (point.row == 1 && point.column == 1) first = &point;
        if (point.row == 1 && point.column == 2) nextColumn = &point;
        if (point.row == 2 && point.column == 1) nextRow = &point;
    }
    const double pitchX = nextColumn->x - first->x, pitchY = nextRow->y - first->y;
    if (std::abs(pitchX) < kGridTolerance || std::abs(pitchY) < kGridTolerance) {
        return failure(QStringLiteral("Шаг сетки карты высот равен нулю."));
    }
    for (const Point& point : points) {
        if (std::abs(point.x - first->x - (point.column - 1) * pitchX) > kGridTolerance ||
            std::abs(point.y - first->y - (point.row - 1) * pitchY) > kGridTolerance) {
            return failure(QStringLiteral("Точка (%1, %2) карты высот лежит не на равномерной "
                                          "сетке.")
                               .arg(point.column)
                               .arg(point.row));
        }
    }
    // The scanner's columns run towards the machine's −X.
    map.spacingX = -pitchX;
    map.spacingY = pitchY;
    return {std::move(map), QString()};
}

SurfaceCsvResult readSurfaceCsv(const QString& path, double probeScaleMm) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(
            QStringLiteral("Не удаётся открыть карту высот %1: %2").arg(path, file.errorString()));
    }
    if (file.size() > kLargestSurfaceFileBytes)
        return failure(QStringLiteral("Файл карты высот %1 слишком велик.").arg(path));
    SurfaceCsvResult result = parseSurfaceCsv(file.readAll(), probeScaleMm, path);
    if (!result.map) result.error = path + QStringLiteral(": ") + result.error;
    return result;
}
