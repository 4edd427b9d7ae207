#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include "figures/PixelBuffer.h"

// The scanner's picture: a white field with the grid drawn in grey 200, every grid point marked
// by a plus sign of five pixels, in black until its sample is drawn. Grid point (i, j) sits at
// pixel ((i − 1) × CellWidth + 10, (j − 1) × CellHeight + 10), pixels counted from 1 at the
// top left, so the grid has a 10-pixel margin at the left and the top and at least 12 at the
// right and the bottom.

inline constexpr int kGridMargin = 10;     // pixels left of and above grid point (1, 1)
inline constexpr int kPictureBorder = 22;  // the picture's size beyond the image, per axis
inline constexpr int kGridGrey = 200;

// Distances in pixels between neighbouring grid columns and rows of a picture of `picture`
// pixels: (size − 22) ÷ (count − 1), integer division. Counts below 2 give 0.
QSize CellSizeFor(QSize picture, int meshWidth, int meshHeight);

// Pixel of grid point (i, j) for the given cell size.
inline QPoint GridPointPixel(int i, int j, QSize cell) {
    return {(i - 1) * cell.width() + kGridMargin, (j - 1) * cell.height() + kGridMargin};
}

class ScanPicture {
public:
    QSize size() const { return m_size; }
    const PixelBuffer& buffer() const { return m_buffer; }
    // Shows the pixels without copying; valid until the next ResetScanPicture.
    QImage image() const { return imageView(m_buffer); }
    // The grey level of pixel (px, py) (its blue byte); the pixel must lie inside.
    int greyAt(int px, int py) const { return m_buffer.first(px, py); }

    // Rebuilds the picture at `picture` pixels and draws the empty grid of meshWidth × meshHeight
    // points. With a count below 2 or a cell of 0 pixels (a picture too small for its grid)
    // the picture stays white: there is no grid to draw.
    void ResetScanPicture(QSize picture, int meshWidth, int meshHeight);
    // A picture of `picture` pixels that holds none: the grid and the checks that follow from
    // the size are the same, nothing is drawn (a batch run whose picture nobody looks at).
    void ResetUndrawnPicture(QSize picture);
    // Writes grey g into the three colour bytes of pixel (px, py); a pixel outside the picture
    // is left alone.
    void SetGreyPixel(int px, int py, int g);
    // A plus sign of five pixels centred on (px, py): left, top, right, bottom, centre.
    void DrawCross(int px, int py, int g);
    // Draws the sample of grid point (i, j) as a cross in its grey level, a sample above 255
    // drawn as 255 and one below 0 as 0. Returns the rectangle of pixels changed (1-based).
    QRect DrawScanPoint(int i, int j, qint32 sample, int meshWidth, int meshHeight);

private:
    PixelBuffer m_buffer;
    QSize m_size;
};
