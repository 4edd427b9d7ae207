#pragma once

#include <optional>
#include <utility>

#include "app/config/ProgramSettings.h"
#include "link/gcode/GcodeWriter.h"

// The engraving window's lines as a laser burns them. Each line moves to the next dark pixel;
// along a row, a move of k pixels travels k - 1 pixels at S0 and burns the last pixel while it
// goes on (G1 at the laser feed), so the burnt pixels of a row are one cut in the direction the
// row is walked, with no travel back. The first pixel of a row waits for the next line to show
// which way the row goes (a row of one pixel goes against the row before); it is reached with a
// G0 at S0 to one pixel before it and burnt on the way in. Travels carry S0, so that no travel
// burns whether or not the controller turns the laser off for G0 ($32).
class GcodeEngraving {
public:
    GcodeEngraving(const GcodeSettings& settings, GcodeWriter& writer)
        : m_settings(settings), m_writer(writer) {}

    // One engraving line: `delta` in mm over the work, `z` its third field (a negative one with
    // no move sets the pixel pitch to -z × `stepX` mm, any other is 255 minus the pixel's grey).
    // `surfaceDz`: the probed surface's change over the line, which the laser's Z follows with
    // the next move written (so the focus stays on a warped board).
    void line(double dx, double dy, qint32 z, double stepX, double surfaceDz = 0);
    // Burns the row's first pixel that still waits (before a line of another kind, at the end).
    void settle();
    // After the controller was reset: nothing waits, the laser is off.
    void restart();
    // Whether the job's lines switched the laser on (M4) and nothing switched it off yet.
    bool laserOn() const { return m_laserOn; }
    void laserOff() { m_laserOn = false; }

private:
    struct Start {
        double x = 0;  // the pixel, from the opening
        double y = 0;
        int power = 0;
    };
    void burnStart(double direction);
    void burnAlong(double dx, int power);
    // The surface's change not written yet, taken by the next move.
    double takeZ() { return std::exchange(m_zPending, 0.0); }

    GcodeSettings m_settings;
    GcodeWriter& m_writer;
    double m_pitch = 0;      // one pixel, mm
    double m_direction = 0;  // of the row being burnt along X: 1, -1, 0 before any
    std::optional<Start> m_start;
    bool m_laserOn = false;
    double m_zPending = 0;
};
