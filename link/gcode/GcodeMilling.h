#pragma once

#include <QList>
#include <optional>

#include "app/config/ProgramSettings.h"
#include "link/gcode/GcodeWriter.h"

// The milling window's lines as a router can cut them. The lines say: travel at the surface,
// plunge to the depth, follow the border, rise back to the surface. Written instead:
// - every travel rises to the safe height above the surface first (once), goes there in X/Y,
//   and the next plunge comes down to the surface with G0 before it cuts with G1;
// - a border deeper than the largest depth per pass is cut in passes: the first as the lines
//   come, no deeper than one pass; at the closing rise the whole border again for each further
//   pass, each at most one pass deeper than the one before at every point, the last at the
//   border's own depths. Between passes the cutter goes back to the border's start: straight
//   down where the border closed on itself, over the safe height where it did not.
// Heights are in millimetres from the opening, up positive. A probed surface's change over a
// line lifts or lowers the surface itself: the cut keeps its depth below it, the passes follow
// it again, and travels and the safe height go with it.
class GcodeMilling {
public:
    GcodeMilling(const GcodeSettings& settings, GcodeWriter& writer)
        : m_settings(settings), m_writer(writer) {}

    // One milling line moving the tool by `delta` as the job means it, over which the surface
    // changes by `surfaceDz`.
    void move(const Millimetres& delta, double surfaceDz = 0);
    // Back down to the height the job thinks the cutter is at, when it waits above it at the safe
    // height (before a line of another kind, and at a job's end).
    void land();
    // The user stopped the job: the border being cut gets no further passes.
    void skipPasses() { m_skipPasses = true; }
    // A line of another kind moved the tool: its height is now the job's, no surface is known.
    void followOther();
    // After the controller was reset with the tool at height `z`: no border is open; a cutter at
    // or above the surface stands over it (coming down to it before the next cut).
    void restart(double z);

    // The surface the milling lines work from, from the first plunge on until a line of
    // another kind: the cutter may be below it (in the lines written or still held by the
    // controller) until it is seen above.
    std::optional<double> surface() const { return m_surface; }

private:
    struct Move {
        Millimetres delta;
        double surfaceDz = 0;
    };
    struct Border {
        Millimetres start;   // where the cutter went down from (at the surface)
        QList<Move> moves;   // the job's moves from the plunge on
        double deepest = 0;  // the lowest height below the surface, negative
    };
    void cutTo(double dx, double dy, double depth, double limit);
    void hover();
    void goToStart(const Border& border);
    void closeBorder(const Millimetres& closing);

    GcodeSettings m_settings;
    GcodeWriter& m_writer;
    double m_jobZ = 0;  // the height the job's lines have the tool at
    std::optional<double> m_surface;
    std::optional<Border> m_border;
    double m_depth = 0;  // in the open border: the job's height below the surface (negative)
    bool m_skipPasses = false;
};
