#include "link/gcode/GcodeTranslator.h"

#include <algorithm>
#include <cmath>

namespace {

// The scanner's sample request as the port receives it.
constexpr qint32 kProbeRequestZ = 100;
constexpr int kGreyLevels = 255;

bool moves(const Millimetres& delta) {
    return delta.x != 0 || delta.y != 0 || delta.z != 0;
}

}  // namespace

QByteArray GcodeTranslator::number(double value) {
    QByteArray text = QByteArray::number(value, 'f', 6);
    while (text.endsWith('0')) text.chop(1);
    if (text.endsWith('.')) text.chop(1);
    if (text == "-0" || text.isEmpty()) text = "0";
    return text;
}

QList<QByteArray> GcodeTranslator::opening() {
    return {"G21", "G91", "M5"};
}

void GcodeTranslator::move(QList<QByteArray>& lines, const char* code, Millimetres delta,
                           std::optional<double> feed, std::optional<double> power) {
    if (!moves(delta)) return;
    QByteArray line = code;
    const char axes[] = {'X', 'Y', 'Z'};
    const double values[] = {delta.x, delta.y, delta.z};
    for (int i = 0; i < 3; ++i)
        if (values[i] != 0) line += ' ' + QByteArray(1, axes[i]) + number(values[i]);
    if (power) line += " S" + number(*power);
    // Feeds are modal: written when they change.
    if (feed && *feed != m_lastFeed) {
        line += " F" + number(*feed);
        m_lastFeed = *feed;
    }
    lines.append(line);
    m_position.x += delta.x;
    m_position.y += delta.y;
    m_position.z += delta.z;
}

GcodeStep GcodeTranslator::translate(const LineMeaning& meaning, const StepRatios& ratios, qint32 x,
                                     qint32 y, qint32 z) {
    const Millimetres xy{x * ratios.x, y * ratios.y, 0};
    if (meaning.manual) {
        GcodeStep step;
        move(step.lines, "G0", {xy.x, xy.y, z * ratios.z}, std::nullopt);
        return step;
    }
    switch (meaning.rules) {
        case MoveRules::Milling:
            return milling({xy.x, xy.y, z * ratios.z});
        case MoveRules::Outlining:
            return outlining(xy, z);
        case MoveRules::Engraving:
            return engraving(xy, z, ratios);
        case MoveRules::Scanner:
            break;
    }
    GcodeStep step;
    if (x == 0 && y == 0 && z == kProbeRequestZ) {
        step.probe = true;
        return step;
    }
    move(step.lines, "G0", {xy.x, xy.y, z * ratios.z}, std::nullopt);
    return step;
}

GcodeStep GcodeTranslator::milling(Millimetres delta) {
    GcodeStep step;
    const bool onlyZ = delta.x == 0 && delta.y == 0;
    if (delta.z < 0 && m_cutterUp) {
        m_surface = m_position.z;
        m_cutterUp = false;
    }
    const bool travel = (onlyZ && delta.z > 0) || (delta.z == 0 && m_cutterUp);
    if (travel) {
        move(step.lines, "G0", delta, std::nullopt);
    } else {
        const double feed = onlyZ && delta.z < 0 ? m_settings.PlungeFeed : m_settings.MillFeed;
        move(step.lines, "G1", delta, feed);
    }
    if (!m_cutterUp && m_position.z >= m_surface) m_cutterUp = true;
    return step;
}

GcodeStep GcodeTranslator::outlining(Millimetres delta, qint32 z) {
    GcodeStep step;
    move(step.lines, m_laserOn ? "G1" : "G0", delta,
         m_laserOn ? std::optional(m_settings.LaserFeed) : std::nullopt);
    if (z > 0 && !m_laserOn) {
        step.lines.append("M4 S" + number(m_settings.OutlinePower));
        m_laserOn = true;
    } else if (z < 0 && m_laserOn) {
        step.lines.append("M5");
        m_laserOn = false;
    }
    return step;
}

GcodeStep GcodeTranslator::engraving(Millimetres delta, qint32 z, const StepRatios& ratios) {
    GcodeStep step;
    if (delta.x == 0 && delta.y == 0 && z < 0) {
        m_pitch = double(-z) * ratios.x;
        return step;
    }
    if (!m_laserOn) {
        // Laser mode: M4 scales the power with the speed, so the beam is off while standing and
        // during G0 travels.
        step.lines.append("M4 S0");
        m_laserOn = true;
    }
    const double power = std::clamp(z, 0, kGreyLevels) * m_settings.LaserScale / kGreyLevels;
    move(step.lines, "G0", {delta.x - m_pitch, delta.y, 0}, std::nullopt);
    const Millimetres burn = m_pitch != 0 ? Millimetres{m_pitch, 0, 0} : Millimetres{};
    if (moves(burn)) move(step.lines, "G1", burn, m_settings.LaserFeed, power);
    return step;
}

QList<QByteArray> GcodeTranslator::safeEnding() {
    QList<QByteArray> lines;
    if (m_laserOn) {
        lines.append("M5");
        m_laserOn = false;
    }
    if (!m_cutterUp && m_position.z < m_surface)
        move(lines, "G0", {0, 0, m_surface - m_position.z}, std::nullopt);
    m_cutterUp = true;
    return lines;
}

void GcodeTranslator::resync(const Millimetres& position) {
    m_position = position;
    m_laserOn = false;
    m_cutterUp = true;
    m_lastFeed = 0;
}

QByteArray GcodeTranslator::probingMove() const {
    return "G38.2 Z-" + number(m_settings.ProbeLimit) + " F" + number(m_settings.ProbeFeed);
}

int GcodeTranslator::sampleForDepth(double depth) const {
    const double range = m_settings.HeightRange;
    const double sample = std::nearbyint((range - depth) / range * kGreyLevels);
    return int(std::clamp(sample, 0.0, double(kGreyLevels)));
}
