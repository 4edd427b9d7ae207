#pragma once

#include <QString>
#include <vector>

#include "scanner/HeightMap.h"
#include "scanner/ScanPicture.h"

// The interpolated image: pixels 0..ImageWidth across and 0..ImageHeight down, drawn at picture
// pixels 10..ImageWidth + 10 and 10..ImageHeight + 10, its heights from a bicubic Lagrange
// interpolation of the height map over the image, pixel 0 on the first grid column and pixel
// ImageWidth on the last.
struct ImageExtent {
    double width = 0;   // ImageWidth, the field read as a decimal number
    double height = 0;  // ImageHeight
};

// The height at image pixel (x, y): the sixteen terms of the four-point Lagrange weights of the
// nearest four columns and rows, added in their fixed order, rounded halves to even. Exact at
// the grid points; near the edges the outer cubics are extended. Needs a map of at least
// 4 × 4 points and an extent above 0 on both axes (see InterpolationRefusal).
qint32 InterpolateAt(const HeightMap& map, ImageExtent image, int x, int y);

// The heights of every image pixel, clamped to 0..255: (columns × rows) values, x = 0..columns−1
// with columns = ImageWidth rounded + 1, stored row by row. The same values as InterpolateAt,
// with each column's and row's weights computed once.
struct InterpolatedImage {
    int columns = 0;
    int rows = 0;
    std::vector<std::uint8_t> heights;
    std::uint8_t at(int x, int y) const { return heights[std::size_t(y) * columns + x]; }
};
InterpolatedImage InterpolateImage(const HeightMap& map, ImageExtent image);

// The same heights one row at a time, for images too large to hold whole (an STL export of
// 8000 × 8000 pixels): memory for one row's weights only. The map must outlive it.
class InterpolatedRows {
public:
    InterpolatedRows(const HeightMap& map, ImageExtent image);
    int columns() const { return int(m_columns.size()); }
    int rows() const { return m_rows; }
    // Writes the columns() heights of row y (0..rows()−1) to `out`.
    void row(int y, std::uint8_t* out) const;

private:
    struct AxisWeights {
        int base;
        double cubic[4];  // nodes −1, 0, 1, 2
    };
    static AxisWeights weightsAt(int pixel, double extent, int points);

    const HeightMap& m_map;
    ImageExtent m_image;
    std::vector<AxisWeights> m_columns;
    int m_rows = 0;
};

// Why the map cannot be interpolated over this image and grid, or an empty text when it can:
// no scan yet, fewer than 4 points on an axis, a map that does not match the current counts,
// image sizes that are not numbers above 0 or whose whole number is 0, or a picture too small
// for its grid (a cell of 0 pixels).
QString InterpolationRefusal(const HeightMap& map, int meshWidth, int meshHeight, ImageExtent image,
                             QSize cell);

// "Интерполировать": draws the interpolated heights into the picture, except at the pixels
// where x is a whole multiple of the cell width and y of the cell height (the centres of the
// grid points' crosses keep what was drawn there). Pixels outside the picture are skipped. The
// caller has checked InterpolationRefusal.
void InterpolateHeightMap(ScanPicture& picture, const HeightMap& map, ImageExtent image,
                          QSize cell);
