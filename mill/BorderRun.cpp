#include "mill/BorderRun.h"

namespace {

// A walk state (position and heading) packed for the set that detects a run going round in
// circles. Positions stay within one pixel of the picture, so 28 bits each are plenty.
std::uint64_t walkState(QPoint position, QPoint direction) {
    const auto x = std::uint64_t(std::uint32_t(position.x() + 2)) & 0xFFFFFFF;
    const auto y = std::uint64_t(std::uint32_t(position.y() + 2)) & 0xFFFFFFF;
    const auto d = std::uint64_t((direction.x() + 1) * 3 + (direction.y() + 1));
    return (x << 36) | (y << 8) | d;
}

}  // namespace

BorderRun::BorderRun(const LabelGrid& labels, std::int32_t figure, std::int32_t child, QPoint start)
    : m_walk(labels, figure, start, child != 0 ? -1 : 1, 0) {}

QPoint BorderRun::step() {
    const QPoint taken = m_walk.step();
    m_closed = m_walk.closed();
    if (!m_closed)
        m_looped = !m_seen.insert(walkState(m_walk.position(), m_walk.direction())).second;
    return taken;
}

std::int64_t borderSteps(const LabelGrid& labels, std::int32_t figure, std::int32_t child,
                         QPoint start) {
    BorderRun run(labels, figure, child, start);
    std::int64_t steps = 0;
    for (; !run.ended(); ++steps) run.step();
    return steps;
}
