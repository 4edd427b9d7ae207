#pragma once

#include <QPoint>
#include <cstdint>

#include "figures/FigureTables.h"

// The step rule that follows a figure's border pixel by pixel, shared by the milling and the
// outlining jobs. Directions are (dx, dy) pairs of −1, 0, 1, y pointing down the picture.

// Rotates a direction by 45 degrees clockwise as seen on the screen: east → south-east → south …
// Any pair that is not a direction is left unchanged.
void TurnClockwise(std::int32_t& dx, std::int32_t& dy);
// Rotates a direction by 45 degrees counter-clockwise: east → north-east → north …
void TurnCounterClockwise(std::int32_t& dx, std::int32_t& dy);

// Walks the border of one figure of a label grid. Only picture cells (1..W, 1..H) can belong to
// the figure: the frame row and column, and anything beyond the grid, do not.
class BorderWalk {
public:
    // Starts at `start` heading (dx, dy): west (−1, 0) around a child, east (1, 0) outside.
    BorderWalk(const LabelGrid& labels, std::int32_t figure, QPoint start, int dx, int dy);

    // One step: turn counter-clockwise once; then, while the neighbour ahead is not in the
    // figure, turn clockwise, at most eight times (after eight turns the step is taken even
    // though that pixel is not in the figure); move; after a diagonal step turn
    // counter-clockwise once more. Returns the step taken.
    QPoint step();

    QPoint position() const { return m_position; }
    QPoint direction() const { return {m_dx, m_dy}; }
    // Back at the start pixel.
    bool closed() const { return m_position == m_start; }

private:
    bool inFigure(int x, int y) const;

    const LabelGrid& m_labels;
    std::int32_t m_figure;
    QPoint m_start;
    QPoint m_position;
    std::int32_t m_dx;
    std::int32_t m_dy;
};
