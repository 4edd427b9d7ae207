#include "mill/BorderWalk.h"

namespace {

// The eight directions in clockwise order on the screen, starting east.
constexpr int kDirections[8][2] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                   {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

int directionIndex(std::int32_t dx, std::int32_t dy) {
    for (int i = 0; i < 8; ++i) {
        if (kDirections[i][0] == dx && kDirections[i][1] == dy) return i;
    }
    return -1;
}

void turn(std::int32_t& dx, std::int32_t& dy, int by) {
    const int i = directionIndex(dx, dy);
    if (i < 0) return;
    const int j = (i + by + 8) % 8;
    dx = kDirections[j][0];
    dy = kDirections[j][1];
}

}  // namespace

void TurnClockwise(std::int32_t& dx, std::int32_t& dy) {
    turn(dx, dy, 1);
}

void TurnCounterClockwise(std::int32_t& dx, std::int32_t& dy) {
    turn(dx, dy, -1);
}

BorderWalk::BorderWalk(const LabelGrid& labels, std::int32_t figure, QPoint start, int dx, int dy)
    : m_labels(labels), m_figure(figure), m_start(start), m_position(start), m_dx(dx), m_dy(dy) {}

bool BorderWalk::inFigure(int x, int y) const {
    return x >= 1 && y >= 1 && x <= m_labels.width() && y <= m_labels.height() &&
           m_labels.at(x, y) == m_figure;
}

QPoint BorderWalk::step() {
    TurnCounterClockwise(m_dx, m_dy);
    for (int turns = 0; turns < 8 && !inFigure(m_position.x() + m_dx, m_position.y() + m_dy);
         ++turns) {
        TurnClockwise(m_dx, m_dy);
    }
    const QPoint taken(m_dx, m_dy);
    m_position += taken;
    if (m_dx != 0 && m_dy != 0) TurnCounterClockwise(m_dx, m_dy);
    return taken;
}
