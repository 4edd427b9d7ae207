#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

#include "app/config/ProgramSettings.h"
#include "link/gcode/GcodeEngraving.h"
#include "link/gcode/GcodeMilling.h"
#include "link/gcode/GcodeWriter.h"
#include "link/serial/LineMeaning.h"

// Turns the move lines of the jobs (relative motor steps, the third field meaning what the
// window makes it mean) into G-code for a GRBL controller: millimetres, relative moves (G91),
// G0 for travels without cutting, G1 with a feed for work, a router's travels over the safe
// height and its deep borders in passes (GcodeMilling), the laser's rows burnt in the direction
// they are walked (GcodeEngraving), consecutive moves that go on the same way as one line
// (GcodeWriter). A line may therefore be written only with a later one: finish() writes what is
// held when a job ends. The position it keeps is the one the lines command, in millimetres from
// where the port was opened.

struct StepRatios {
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
    explicit GcodeTranslator(const GcodeSettings& settings);

    // The lines that start every stream: millimetres, relative distances, laser off.
    static QList<QByteArray> opening();

    // The G-code of the move line x,y,z; (motor steps) of `meaning`, at the step ratios given,
    // with whatever earlier lines it completes. Milling: see GcodeMilling. Outlining: a positive
    // third field opens a border (laser on, M4 S…), a negative one closes it (M5); X/Y with the
    // laser off are travels. Engraving: see GcodeEngraving. Scanner: "0,0,100;" is a sample
    // request (probe = true, after the lines held before it); other lines are travels. Manual
    // moves are G0 on all three axes, written at once.
    GcodeStep translate(const LineMeaning& meaning, const StepRatios& ratios, qint32 x, qint32 y,
                        qint32 z);
    // The end of a job: the lines still held, the cutter back down from the safe height to where
    // the job left it, and the laser off.
    QList<QByteArray> finish();
    // The user asked the job to stop: a border being milled gets no further passes.
    void noteStopping() { m_milling.skipPasses(); }

    // The lines that leave the machine safe after a job ended early: laser off, and the cutter
    // raised to the surface it last plunged from. Updates the position.
    QList<QByteArray> safeEnding();

    // Milling: the height (mm from the opening) of the surface the cutter works from, from a
    // milling job's first plunge on; the lines written (and a controller's queue) may have the
    // cutter below it. Nothing before any plunge or after lines of another kind.
    std::optional<double> surfaceUnderCutter() const { return m_milling.surface(); }
    // After the controller was reset: the tool stands at `position`, the laser is off, nothing
    // is held, and no feed or power is in effect.
    void resync(const Millimetres& position);
    // Drops what is held: those lines are never to be sent (the job ended on a failure).
    void discardHeld() { resync(m_writer.position()); }

    // The probing move of a sample request: down by at most the probe limit.
    QByteArray probingMove() const;
    // The sample (0..255) for a contact `depth` mm below where the probe started (0 at the
    // start, positive going down): 255 at the start, 0 at the height range's depth, clamped.
    int sampleForDepth(double depth) const;

    // The position the lines so far command, in mm from the opening.
    Millimetres position() const { return m_writer.position(); }
    const GcodeSettings& settings() const { return m_settings; }
    // See GcodeWriter::setMerging.
    void setMerging(bool merging) { m_writer.setMerging(merging); }

    // A number of millimetres or a feed as G-code writes it: up to six decimals, no trailing
    // zeros, no "-0".
    static QByteArray number(double value) { return GcodeWriter::number(value); }

private:
    void outlining(const Millimetres& delta, qint32 z);
    // Before a line of `window` (or a manual one): what the other kinds still hold is written.
    void settleFor(std::optional<MoveRules> window);

    GcodeSettings m_settings;
    GcodeWriter m_writer;
    GcodeMilling m_milling;
    GcodeEngraving m_engraving;
    bool m_outlineOn = false;
};
