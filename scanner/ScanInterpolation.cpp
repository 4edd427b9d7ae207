#include "scanner/ScanInterpolation.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "app/config/NumberText.h"

namespace {

constexpr int kLeastPoints = 4;

// The cubic of each Lagrange weight without its constant: nodes −1, 0, 1, 2.
double weightCubic(int node, double t) {
    switch (node) {
        case -1:
            return t * (t - 1) * (t - 2);
        case 0:
            return (t + 1) * (t - 1) * (t - 2);
        case 1:
            return (t + 1) * t * (t - 2);
        default:
            return (t + 1) * t * (t - 1);
    }
}

// The sixteen terms in the order they are added: column node, row node, and the product of the
// two weights' signed denominators.
struct Term {
    int a;
    int b;
    double constant;
};
constexpr std::array<Term, 16> kTerms = {{
    {0, 0, 1.0 / 4},
    {1, 0, -1.0 / 4},
    {0, 1, -1.0 / 4},
    {1, 1, 1.0 / 4},
    {-1, 0, -1.0 / 12},
    {0, -1, -1.0 / 12},
    {-1, 1, 1.0 / 12},
    {1, -1, 1.0 / 12},
    {2, 0, 1.0 / 12},
    {0, 2, 1.0 / 12},
    {-1, -1, 1.0 / 36},
    {2, 1, -1.0 / 12},
    {1, 2, -1.0 / 12},
    {2, -1, -1.0 / 36},
    {-1, 2, -1.0 / 36},
    {2, 2, 1.0 / 36},
}};

// Base node and fraction of one axis: the grid coordinate of `pixel`, moved so that the nodes
// base − 1 .. base + 2 lie inside 1..points.
struct AxisPlace {
    int base;
    double fraction;
};
AxisPlace axisPlace(int pixel, double extent, int points) {
    const double g = pixel / (extent / (points - 1)) + 1;
    int base = int(std::floor(g));
    double fraction = g - base;
    while (base < 2) {
        fraction -= 1;
        base += 1;
    }
    while (base > points - 2) {
        fraction += 1;
        base -= 1;
    }
    return {base, fraction};
}

std::uint8_t clampedGrey(qint32 height) {
    return std::uint8_t(std::clamp<qint32>(height, 0, 255));
}

int wholeExtent(double extent) {
    return int(roundHalfEven(extent));
}

}  // namespace

qint32 InterpolateAt(const HeightMap& map, ImageExtent image, int x, int y) {
    const AxisPlace column = axisPlace(x, image.width, map.width);
    const AxisPlace row = axisPlace(y, image.height, map.height);
    double sum = 0;
    for (const Term& term : kTerms) {
        const double coefficient = weightCubic(term.a, column.fraction) *
                                   weightCubic(term.b, row.fraction) * term.constant;
        sum += coefficient * map.at(column.base + term.a, row.base + term.b);
    }
    return qint32(roundHalfEven(sum));
}

InterpolatedRows::AxisWeights InterpolatedRows::weightsAt(int pixel, double extent, int points) {
    const AxisPlace place = axisPlace(pixel, extent, points);
    AxisWeights weights{place.base, {}};
    for (int node = -1; node <= 2; ++node)
        weights.cubic[node + 1] = weightCubic(node, place.fraction);
    return weights;
}

InterpolatedRows::InterpolatedRows(const HeightMap& map, ImageExtent image)
    : m_map(map), m_image(image), m_rows(wholeExtent(image.height) + 1) {
    m_columns.resize(std::size_t(wholeExtent(image.width) + 1));
    for (int x = 0; x < columns(); ++x) m_columns[x] = weightsAt(x, image.width, map.width);
}

void InterpolatedRows::row(int y, std::uint8_t* out) const {
    const AxisWeights row = weightsAt(y, m_image.height, m_map.height);
    for (const AxisWeights& column : m_columns) {
        double sum = 0;
        for (const Term& term : kTerms) {
            const double coefficient =
                column.cubic[term.a + 1] * row.cubic[term.b + 1] * term.constant;
            sum += coefficient * m_map.at(column.base + term.a, row.base + term.b);
        }
        *out++ = clampedGrey(qint32(roundHalfEven(sum)));
    }
}

InterpolatedImage InterpolateImage(const HeightMap& map, ImageExtent image) {
    const InterpolatedRows rows(map, image);
    InterpolatedImage result;
    result.columns = rows.columns();
    result.rows = rows.rows();
    result.heights.resize(std::size_t(result.columns) * result.rows);
    for (int y = 0; y < result.rows; ++y)
        rows.row(y, result.heights.data() + std::size_t(y) * result.columns);
    return result;
}

QString InterpolationRefusal(const HeightMap& map, int meshWidth, int meshHeight, ImageExtent image,
                             QSize cell) {
    if (map.isEmpty()) return QStringLiteral("Сначала выполните сканирование.");
    if (meshWidth < kLeastPoints || meshHeight < kLeastPoints) {
        return QStringLiteral("Для интерполяции нужно не меньше %1 точек сетки по каждой оси.")
            .arg(kLeastPoints);
    }
    if (map.width != meshWidth || map.height != meshHeight) {
        return QStringLiteral(
                   "Размеры сетки изменились после сканирования (снято %1 × %2 "
                   "точек). Выполните сканирование заново.")
            .arg(map.width)
            .arg(map.height);
    }
    if (!(image.width > 0) || !(image.height > 0) || wholeExtent(image.width) < 1 ||
        wholeExtent(image.height) < 1) {
        return QStringLiteral("Размеры изображения должны быть числами больше 0.");
    }
    if (cell.width() < 1 || cell.height() < 1)
        return QStringLiteral("Изображение слишком мало для такой сетки.");
    return QString();
}

void InterpolateHeightMap(ScanPicture& picture, const HeightMap& map, ImageExtent image,
                          QSize cell) {
    const InterpolatedRows heights(map, image);
    const QSize size = picture.size();
    const int columns = std::min(heights.columns(), size.width() - kGridMargin);
    const int rows = std::min(heights.rows(), size.height() - kGridMargin);
    std::vector<std::uint8_t> row(std::size_t(heights.columns()));
    for (int y = 0; y < rows; ++y) {
        heights.row(y, row.data());
        for (int x = 0; x < columns; ++x) {
            if (x % cell.width() == 0 && y % cell.height() == 0) continue;
            picture.SetGreyPixel(x + kGridMargin, y + kGridMargin, row[std::size_t(x)]);
        }
    }
}
