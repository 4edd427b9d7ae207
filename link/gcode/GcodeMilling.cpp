#include "link/gcode/GcodeMilling.h"

#include <algorithm>
#include <cmath>

namespace {

// Heights and positions closer than this are the same (well below a motor step).
constexpr double kSame = 1e-6;

}  // namespace

void GcodeMilling::cutTo(double dx, double dy, double depth, double limit) {
    const double z = *m_surface + std::max(depth, -limit) - m_writer.position().z;
    const bool onlyZ = dx == 0 && dy == 0;
    if (onlyZ && z > 0) {
        m_writer.move("G0", {0, 0, z});
    } else {
        const double feed = onlyZ ? m_settings.PlungeFeed : m_settings.MillFeed;
        m_writer.move("G1", {dx, dy, z}, feed);
    }
}

void GcodeMilling::hover() {
    const double rise = m_jobZ + m_settings.SafeHeight - m_writer.position().z;
    if (rise > kSame) m_writer.move("G0", {0, 0, rise});
}

void GcodeMilling::land() {
    if (m_border) return;
    const double fall = m_jobZ - m_writer.position().z;
    if (fall < -kSame) m_writer.move("G0", {0, 0, fall});
}

void GcodeMilling::move(const Millimetres& delta, double surfaceDz) {
    const bool xy = delta.x != 0 || delta.y != 0;
    if (!m_border) {
        if (delta.z >= 0) {
            // A travel, or a rise while the cutter is up.
            if (xy) hover();
            m_writer.move("G0", {delta.x, delta.y, delta.z + surfaceDz});
            m_jobZ += delta.z + surfaceDz;
            return;
        }
        land();
        m_surface = m_jobZ;
        m_skipPasses = false;
        const Millimetres at = m_writer.position();
        m_border = Border{{at.x, at.y, m_jobZ}, {}, 0};
        m_depth = 0;
    }
    m_jobZ += delta.z + surfaceDz;
    *m_surface += surfaceDz;
    if (m_jobZ >= *m_surface - kSame) {
        closeBorder(delta);
        return;
    }
    m_depth += delta.z;
    m_border->moves.append({delta, surfaceDz});
    m_border->deepest = std::min(m_border->deepest, m_depth);
    cutTo(delta.x, delta.y, m_depth, m_settings.PassDepth);
}

void GcodeMilling::goToStart(const Border& border) {
    const Millimetres at = m_writer.position();
    const double dx = border.start.x - at.x;
    const double dy = border.start.y - at.y;
    if (std::abs(dx) <= kSame && std::abs(dy) <= kSame) return;
    // Over the higher of the surfaces where the cutter is and where it goes, then down to the
    // start's surface.
    const double over = std::max(*m_surface, border.start.z) + m_settings.SafeHeight;
    m_writer.move("G0", {0, 0, over - at.z});
    m_writer.move("G0", {dx, dy, 0});
    m_writer.move("G0", {0, 0, border.start.z - over});
}

void GcodeMilling::closeBorder(const Millimetres& closing) {
    const Border border = *m_border;
    m_border.reset();
    const double full = -border.deepest;
    const double pass = m_settings.PassDepth;
    const double endSurface = *m_surface;
    if (!m_skipPasses && full > pass + kSame) {
        const int passes = int(std::ceil((full - kSame) / pass));
        for (int k = 2; k <= passes; ++k) {
            const double limit = std::min(k * pass, full);
            // Each pass its own lines, also where a border of one point gives nothing between
            // them but its plunges.
            m_writer.flush();
            // Each pass follows the surface again from the border's start.
            *m_surface = endSurface;
            goToStart(border);
            *m_surface = border.start.z;
            double depth = 0;
            for (const Move& move : border.moves) {
                depth += move.delta.z;
                *m_surface += move.surfaceDz;
                cutTo(move.delta.x, move.delta.y, depth, limit);
            }
        }
    }
    *m_surface = endSurface;
    // The job's own rise, from wherever the last pass left the cutter.
    cutTo(closing.x, closing.y, m_jobZ - *m_surface, 0);
}

void GcodeMilling::followOther() {
    m_border.reset();
    m_surface.reset();
    m_jobZ = m_writer.position().z;
}

void GcodeMilling::restart(double z) {
    m_border.reset();
    m_jobZ = m_surface && z >= *m_surface - kSame ? *m_surface : z;
}
