#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"
#include "figures/ToolPosition.h"
#include "link/job/JobHost.h"
#include "link/protocol/MoveProtocol.h"
#include "mill/BorderStarts.h"
#include "mill/SurfaceFollower.h"

// What a tool does along a border, which is all that differs between the milling cutter and the
// outlining laser. The tracer calls these in this order for each border: travel, open, then per
// step beforeStep, stepZ, paintMark; then close. leaveSafe runs instead when the user stops.
class TracePolicy {
public:
    virtual ~TracePolicy() = default;

    // A figure's borders are about to be traced (the milling cutter takes its level copy here).
    virtual void beginFigure() {}
    // Moves the tool by (dx, dy) pixels in the surface plane to a border's start.
    virtual void travel(int dx, int dy) = 0;
    // The tool stands over `start`: sends what opens the border (plunge, laser on).
    virtual void openBorder(QPoint start) = 0;
    // Called before each step is sent or paused for.
    virtual void beforeStep() {}
    // The third value of the move onto `position`, where the tool now stands.
    virtual int stepZ(QPoint position) = 0;
    // Paints the tool's mark at `position`; returns the picture rectangle that changed.
    virtual QRect paintMark(QPoint position) = 0;
    // Sends what closes the border (lift, laser off).
    virtual void closeBorder() = 0;
    // "Стоп": leaves the machine safe; `borderOpen` when openBorder ran and closeBorder did not.
    virtual void leaveSafe(bool borderOpen) = 0;
    // The message of a stopped job, the tool being over `tool` (1-based pixel).
    virtual QString stoppedMessage(QPoint tool) const = 0;

    // The probed surface the tool follows, its position being `tool` (both not owned), or
    // nullptr for the flat plane.
    void followSurface(SurfaceFollower* surface, const ToolPosition* tool) {
        m_surface = surface;
        m_surfaceTool = tool;
    }
    // The surface's change between two pixels, mm; 0 without a surface.
    double surfaceChange(QPoint from, QPoint to) {
        return m_surface ? m_surface->change(from, to) : 0;
    }
    // The surface's change over a travel of (dx, dy) from where the tool stands.
    double travelSurfaceChange(int dx, int dy) {
        if (!m_surface || !m_surfaceTool) return 0;
        const QPoint from(m_surfaceTool->ToolX, m_surfaceTool->ToolY);
        return m_surface->change(from, from + QPoint(dx, dy));
    }

private:
    SurfaceFollower* m_surface = nullptr;
    const ToolPosition* m_surfaceTool = nullptr;
};

// Follows figure borders pixel by pixel with a TracePolicy, shared by the milling and the
// outlining jobs: a figure's border around each child first, in pair-table order, then its
// outer border; the start pixel from BorderStarts; the step rule of BorderWalk; one move per
// step (sent when the output box is ticked, otherwise a pause of 1 ms); the mark and the redraw
// after each step; "Стоп" checked before every move. A border that returns to a position and
// heading it had without reaching its start is ended with a note; a border without a start
// pixel is skipped.
class BorderTracer {
public:
    // All references must outlive the tracer.
    BorderTracer(FigureAnalysis& analysis, ToolPosition& tool, JobHost& host,
                 MoveProtocol& protocol, TracePolicy& policy);

    // A job starts: clears the notes and counts the lines sent from here on (see doneText).
    void clearReport();
    // The job about to run takes `totalSteps` steps: its progress reports count the steps taken
    // from here of that total (0: a total not known).
    void planSteps(std::int64_t totalSteps);
    // The steps that traceDarkFigures would take now (finds the border starts first if none
    // were found).
    std::int64_t darkFigureSteps();
    // The analysis was (re)built: finds the border starts anew and resets the progress.
    void findBorderStarts();
    // Traces every border of `figure` (finds the border starts first if none were found): the
    // cutter's path under the milling policy, the laser's under the outlining one. The figure
    // is a section of the job (MoveProtocol::beginSection), numbered as the figure tree is.
    void TraceFigure(std::int32_t figure);
    // Traces every dark figure with 0 < State < kFinished, the deepest first, equal depths in
    // the order the row-by-row scan meets their first cell, and marks each kFinished. `ring`
    // prefixes the progress text ("кольцо 2, ").
    void traceDarkFigures(const QString& ring);

    // The selected-figure jobs: from (1, 1), every border of `figure`, its steps planned
    // beforehand, then the closing report.
    void traceSelectedFigure(std::int32_t figure);

    // Ends the job by throwing JobEnded(Stopped) when the user asked to stop, after the
    // policy left the machine safe.
    void stopIfAsked();

    std::int64_t steps() const { return m_steps; }
    // "готово, шагов: N", saying when the job sent nothing to the machine (a dry run).
    QString doneText() const;
    // Notes for the user gathered since clearReport (borders that could not be closed,
    // rings that could not be reduced).
    const QStringList& notes() const { return m_notes; }
    void addNote(const QString& note) { m_notes << note; }
    // Shows the notes, if any, in a box titled "Внимание".
    void showNotes();

private:
    void traceBorder(std::int32_t figure, std::int32_t child, QPoint start);
    void walkBorder(std::int32_t figure, std::int32_t child, QPoint start);
    void report(const QString& what);

    FigureAnalysis& m_analysis;
    ToolPosition& m_tool;
    JobHost& m_host;
    MoveProtocol& m_protocol;
    TracePolicy& m_policy;
    std::optional<BorderStarts> m_starts;
    bool m_borderOpen = false;
    std::int64_t m_steps = 0;
    std::int64_t m_stepsAtPlan = 0;  // m_steps when the job's steps were planned
    std::int64_t m_plannedSteps = 0;
    int m_linesAtStart = 0;  // lines the protocol had sent when the job started
    std::int64_t m_figuresDone = 0;
    std::int64_t m_figuresTotal = 0;
    QString m_figureText;
    QStringList m_notes;
};

// The dark figures that traceDarkFigures traces, in its order.
std::vector<std::int32_t> darkFiguresDeepestFirst(const FigureAnalysis& analysis);

// The steps that tracing every border of `figure` takes, its borders found from `starts` (made
// from the analysis's labels), counted by walking them without moving anything.
std::int64_t figureSteps(const FigureAnalysis& analysis, const BorderStarts& starts,
                         std::int32_t figure);
// The steps of all the figures darkFiguresDeepestFirst gives.
std::int64_t darkFigureSteps(const FigureAnalysis& analysis, const BorderStarts& starts);

// Why traceDarkFigures would trace nothing (every dark figure done since the last parse, or the
// tables emptied by "Градиент" or "Отступить"), with what to do; empty when a figure is left.
QString nothingLeftReason(const FigureAnalysis& analysis);

// Shrinks the figures of a work layer by one ring; true when some pixel changed.
using RingShrink = std::function<bool(PixelBuffer& work, FigureAnalysis& analysis)>;

// The ring loop of "Резать 3D" and "Грав-ть всё", after its first parse: while the tree holds a
// node, trace all dark figures, `shrink` the work layer, parse `work` again and tell the host.
// When a shrink changes nothing the next ring would repeat this one for ever, so the loop ends
// after parsing and adds `stuckNote(ring)` to the notes. The steps of all rings are planned
// first, by running the same loop on copies of the work layer and the analysis.
void traceRings(BorderTracer& tracer, PixelBuffer& work, FigureAnalysis& analysis, JobHost& host,
                const RingShrink& shrink, const std::function<QString(int ring)>& stuckNote);

// The steps of every ring that traceRings would trace from `work` and `analysis` (both left as
// they are).
std::int64_t ringSteps(const PixelBuffer& work, const FigureAnalysis& analysis,
                       const RingShrink& shrink);
