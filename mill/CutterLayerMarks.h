#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <vector>

#include "figures/PixelBuffer.h"
#include "mill/DiscChords.h"

// The cutter layer as a trace uses it: the path is painted into it as it is cut, while cut
// levels are read from the layer as it was when the trace of the current figure began. Only the
// pixels painted since then differ from that copy, so instead of copying the whole layer per
// figure the first byte of each pixel is saved the first time it is painted.
class CutterLayerMarks {
public:
    // `layer` must outlive this object and keep its size.
    explicit CutterLayerMarks(PixelBuffer& layer);

    // Takes the copy from which levels are read: the layer as it stands now.
    void beginFigure();

    // Cut level at a pixel: 255 − its first byte in the copy; 0 (the surface) outside the picture.
    int level(QPoint pixel) const;

    // Paints pure red (blue 0, green 0, red 255) every pixel of the cutter's disc around center
    // (center + (i, j) for each offset of `disc`) that lies inside the picture. Returns the
    // rectangle of the picture that may have changed (empty when none).
    QRect paint(QPoint center, const DiscChords& disc);

private:
    PixelBuffer& m_layer;
    std::uint32_t m_generation = 1;
    std::vector<std::uint32_t> m_savedIn;   // generation in which a pixel's byte was saved
    std::vector<std::uint8_t> m_savedByte;  // its first byte when the figure began
};
