#include "link/gcode/GcodeEngraving.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kGreyLevels = 255;

}  // namespace

void GcodeEngraving::line(double dx, double dy, qint32 z, double stepX, double surfaceDz) {
    m_zPending += surfaceDz;
    if (dx == 0 && dy == 0 && z < 0) {
        m_pitch = std::abs(double(-z) * stepX);
        return;
    }
    if (!m_laserOn) {
        // M4: the power follows the speed, so the beam is off while the head stands.
        m_writer.line("M4 S0", 0);
        m_laserOn = true;
    }
    const int power =
        int(std::lround(std::clamp(z, 0, kGreyLevels) * m_settings.LaserScale / kGreyLevels));
    const double direction = dx > 0 ? 1 : dx < 0 ? -1 : 0;
    const bool alongRow = dy == 0 && direction != 0;
    // Where the lines have the laser: the pixel that waits, or where the lines written end.
    const Millimetres at = m_start ? Millimetres{m_start->x, m_start->y, 0} : m_writer.position();
    if (m_start) burnStart(alongRow ? direction : 0);
    if (alongRow && direction == m_direction) {
        burnAlong(dx, power);
    } else {
        m_start = Start{at.x + dx, at.y + dy, power};
    }
}

void GcodeEngraving::burnStart(double direction) {
    if (direction == 0) direction = m_direction != 0 ? -m_direction : 1;
    const Start start = *m_start;
    m_start.reset();
    m_direction = direction;
    const Millimetres at = m_writer.position();
    const double before = start.x - direction * m_pitch;
    m_writer.move("G0", {before - at.x, start.y - at.y, takeZ()}, std::nullopt, 0);
    m_writer.move("G1", {start.x - before, 0, 0}, m_settings.LaserFeed, start.power);
}

void GcodeEngraving::burnAlong(double dx, int power) {
    const double burn = m_direction * std::min(m_pitch, std::abs(dx));
    m_writer.move("G1", {dx - burn, 0, takeZ()}, m_settings.LaserFeed, 0);
    m_writer.move("G1", {burn, 0, 0}, m_settings.LaserFeed, power);
}

void GcodeEngraving::settle() {
    if (m_start) burnStart(0);
}

void GcodeEngraving::restart() {
    m_start.reset();
    m_zPending = 0;
    m_direction = 0;
    m_laserOn = false;
}
