#include "link/gcode/GcodeTranslator.h"

#include <algorithm>
#include <cmath>

namespace {

// The scanner's sample request as the port receives it.
constexpr qint32 kProbeRequestZ = 100;
constexpr int kGreyLevels = 255;

}  // namespace

GcodeTranslator::GcodeTranslator(const GcodeSettings& settings)
    : m_settings(settings), m_milling(m_settings, m_writer), m_engraving(m_settings, m_writer) {}

QList<QByteArray> GcodeTranslator::opening() {
    return {"G21", "G91", "M5"};
}

void GcodeTranslator::settleFor(std::optional<MoveRules> window) {
    if (window != MoveRules::Engraving) m_engraving.settle();
    // A manual move (or a resume's joining move) goes from where the cutter really stands: a
    // cutter waiting at the safe height after a stop does not first come down to the surface.
    if (window && window != MoveRules::Milling) m_milling.land();
}

GcodeStep GcodeTranslator::translate(const LineMeaning& meaning, const StepRatios& ratios, qint32 x,
                                     qint32 y, qint32 z) {
    const Millimetres delta{x * ratios.x, y * ratios.y, z * ratios.z};
    GcodeStep step;
    if (meaning.manual) {
        settleFor(std::nullopt);
        m_writer.move("G0", delta);
        m_writer.flush();
    } else {
        settleFor(meaning.rules);
        switch (meaning.rules) {
            case MoveRules::Milling:
                m_milling.move(delta, meaning.surfaceMm);
                break;
            case MoveRules::Outlining:
                // The laser's third field is its power; its Z follows only the probed surface.
                outlining({delta.x, delta.y, meaning.surfaceMm}, z);
                break;
            case MoveRules::Engraving:
                m_engraving.line(delta.x, delta.y, z, ratios.x, meaning.surfaceMm);
                break;
            case MoveRules::Scanner:
                if (x == 0 && y == 0 && z == kProbeRequestZ) {
                    m_writer.flush();
                    step.probe = true;
                } else {
                    m_writer.move("G0", delta);
                }
                break;
        }
    }
    if (meaning.manual || meaning.rules != MoveRules::Milling) m_milling.followOther();
    step.lines = m_writer.take();
    return step;
}

void GcodeTranslator::outlining(const Millimetres& delta, qint32 z) {
    if (m_outlineOn) {
        m_writer.move("G1", delta, m_settings.LaserFeed);
    } else {
        m_writer.move("G0", delta);
    }
    if (z > 0 && !m_outlineOn) {
        const int power = int(std::lround(m_settings.OutlinePower));
        m_writer.line("M4 S" + QByteArray::number(power), power);
        m_outlineOn = true;
    } else if (z < 0 && m_outlineOn) {
        m_writer.line("M5");
        m_outlineOn = false;
    }
}

QList<QByteArray> GcodeTranslator::finish() {
    m_engraving.settle();
    m_milling.land();
    if (m_outlineOn || m_engraving.laserOn()) {
        m_writer.line("M5");
        m_outlineOn = false;
        m_engraving.laserOff();
    }
    m_writer.flush();
    return m_writer.take();
}

QList<QByteArray> GcodeTranslator::safeEnding() {
    m_writer.flush();
    if (m_outlineOn || m_engraving.laserOn()) {
        m_writer.line("M5");
        m_outlineOn = false;
        m_engraving.laserOff();
    }
    const std::optional<double> surface = m_milling.surface();
    if (surface && m_writer.position().z < *surface) {
        m_writer.move("G0", {0, 0, *surface - m_writer.position().z});
        m_milling.restart(*surface);
    }
    m_writer.flush();
    return m_writer.take();
}

void GcodeTranslator::resync(const Millimetres& position) {
    m_writer.restart(position);
    m_milling.restart(position.z);
    m_engraving.restart();
    m_outlineOn = false;
}

QByteArray GcodeTranslator::probingMove() const {
    return "G38.2 Z-" + number(m_settings.ProbeLimit) + " F" + number(m_settings.ProbeFeed);
}

int GcodeTranslator::sampleForDepth(double depth) const {
    const double range = m_settings.HeightRange;
    const double sample = std::nearbyint((range - depth) / range * kGreyLevels);
    return int(std::clamp(sample, 0.0, double(kGreyLevels)));
}
