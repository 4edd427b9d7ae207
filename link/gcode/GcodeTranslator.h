#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

#include "app/config/ProgramSettings.h"
#include "link/serial/LineMeaning.h"

// Turns the move lines of the jobs (relative motor steps, the third field meaning what the
// window makes it mean) into G-code for a GRBL controller: millimetres, relative moves (G91),
// G0 for travels without cutting, G1 with a feed for work. The position it keeps is the one the
// lines command, in millimetres from where the port was opened.

struct StepRatios {
    double x = 0;
    double y = 0;
    double z = 0;
};

struct Millimetres {
    double x = 0;
    double y = 0;
    double z = 0;
};

// What one move line becomes.
struct GcodeStep {
    QList<QByteArray> lines;  // G-code lines without line ends; may be empty
    bool probe = false;       // the line is a sample request: the port probes (see probingMove)
};

class GcodeTranslator {
public:
    explicit GcodeTranslator(const GcodeSettings& settings) : m_settings(settings) {}

    // The lines that start every stream: millimetres, relative distances, laser off.
    static QList<QByteArray> opening();

    // The G-code of the move line x,y,z; (motor steps) of `meaning`, at the step ratios given.
    // Milling: Z follows the third field; a rise with no X/Y, and a move at or above the last
    // surface, are G0. Outlining: a positive third field opens a border (laser on, M4 S…), a
    // negative one closes it (M5); X/Y with the laser off are travels. Engraving: a line with
    // only a negative third field sets the pixel pitch; every other line is a burnt pixel: a
    // travel to one pitch before it along +X, then a one-pitch G1 at S = darkness / 255 × scale.
    // Scanner: "0,0,100;" is a sample request (probe = true, no lines); other lines are travels.
    // Manual moves are G0 on all three axes.
    GcodeStep translate(const LineMeaning& meaning, const StepRatios& ratios, qint32 x, qint32 y,
                        qint32 z);

    // The lines that leave the machine safe after a job ended early: laser off, and the cutter
    // raised to the surface it last plunged from. Updates the position.
    QList<QByteArray> safeEnding();

    // Milling: the height (mm from the opening) of the surface the cutter went down from, while
    // it is below it; nothing when the cutter is up or no milling line came.
    std::optional<double> surfaceUnderCutter() const {
        return m_cutterUp ? std::nullopt : std::optional(m_surface);
    }
    // After the controller was reset: the tool stands at `position`, the laser is off, the
    // cutter is up and no feed is in effect.
    void resync(const Millimetres& position);

    // The probing move of a sample request: down by at most the probe limit.
    QByteArray probingMove() const;
    // The sample (0..255) for a contact `depth` mm below where the probe started (0 at the
    // start, positive going down): 255 at the start, 0 at the height range's depth, clamped.
    int sampleForDepth(double depth) const;

    // The position the lines so far command, in mm from the opening.
    Millimetres position() const { return m_position; }
    const GcodeSettings& settings() const { return m_settings; }

    // A number of millimetres (or a feed or power) as G-code writes it: up to six decimals,
    // no trailing zeros, no "-0".
    static QByteArray number(double value);

private:
    void move(QList<QByteArray>& lines, const char* code, Millimetres delta,
              std::optional<double> feed, std::optional<double> power = std::nullopt);
    GcodeStep milling(Millimetres delta);
    GcodeStep outlining(Millimetres delta, qint32 z);
    GcodeStep engraving(Millimetres delta, qint32 z, const StepRatios& ratios);

    GcodeSettings m_settings;
    Millimetres m_position;
    double m_lastFeed = 0;
    bool m_laserOn = false;
    // Milling: the height the cutter last went down from, and whether it is below it.
    double m_surface = 0;
    bool m_cutterUp = true;
    // Engraving: the pixel pitch set by the opening line (0 before).
    double m_pitch = 0;
};
