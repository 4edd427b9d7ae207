#pragma once

#include <QPoint>
#include <cstdint>
#include <unordered_set>

#include "figures/FigureTables.h"
#include "mill/BorderWalk.h"

// One border as the jobs follow it, from its start pixel to its end: the BorderWalk around a
// child (`child` not 0, heading west) or the outer border (heading east), ended when it is back
// at its start or when it comes back to a position and heading it had (it would go round for
// ever). The tracer moves the tool along it; borderSteps counts its steps beforehand.
class BorderRun {
public:
    BorderRun(const LabelGrid& labels, std::int32_t figure, std::int32_t child, QPoint start);

    // The next step; only while !ended().
    QPoint step();
    bool ended() const { return m_closed || m_looped; }
    // Ended without reaching the start again.
    bool looped() const { return m_looped; }
    QPoint position() const { return m_walk.position(); }

private:
    BorderWalk m_walk;
    std::unordered_set<std::uint64_t> m_seen;
    bool m_closed = false;
    bool m_looped = false;
};

// The number of steps the border run from `start` takes, by walking it without moving anything.
std::int64_t borderSteps(const LabelGrid& labels, std::int32_t figure, std::int32_t child,
                         QPoint start);
