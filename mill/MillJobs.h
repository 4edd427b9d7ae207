#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"
#include "figures/ToolPosition.h"
#include "link/job/JobHost.h"
#include "link/protocol/MoveProtocol.h"
#include "mill/BorderTracer.h"
#include "mill/CutterGeometry.h"
#include "mill/MillTracePolicy.h"
#include "mill/SurfaceFollower.h"

// What the milling jobs work on: the window's layers and figures, its cutter size and its tool.
struct MillWorkspace {
    PixelBuffer& source;
    PixelBuffer& work;
    PixelBuffer& cutter;  // the "Фреза" layer: levels are read from it, the path drawn into it
    FigureAnalysis& analysis;
    CutterSize& cutterSize;  // CutterRadius and CutterReach
    ToolPosition& tool;
};

// The milling window's three jobs. Each follows figure borders pixel by pixel and sends one
// move per step through the window's MoveProtocol (nothing is sent when the output box is
// clear: a dry run that only draws, 1 ms per step). Each ends by throwing JobEnded when it is
// refused (no tree, no selection, fields that are not numbers), stopped by the user (the cutter
// is lifted to the surface first), abandoned, or left without an answer; otherwise it returns.
class MillJobs {
public:
    MillJobs(MillWorkspace workspace, JobHost& host, MoveProtocol& protocol);
    MillJobs(const MillJobs&) = delete;
    MillJobs& operator=(const MillJobs&) = delete;

    // "Выделенная": the borders of `selected` (the figure of the selected tree node, or nothing
    // when none is selected), inner borders first; light or dark alike. Starts from (1, 1).
    void MillSelected(std::optional<std::int32_t> selected);
    // "Все": every dark figure, the most deeply nested first, equal depths in the order the
    // row-by-row scan meets them; each marked finished. Refused, saying why, when no dark
    // figure is left to cut (a second run without a parse, or tables emptied by "Градиент" or
    // "Отступить").
    void MillAll();
    // "Резать 3D": the gradient, then ring after ring: all dark figures, an offset by one cutter
    // diameter, a new parse, until no figure is left or an offset changes nothing.
    void Cut3D();

    // The probed surface the jobs follow from now on (not owned; nullptr for the flat plane):
    // every move gets the surface's change over it added to Z, pixel (1, 1) lying `startMm` from
    // the map's origin. A job that leaves the map says so once in its notes.
    void followSurface(const SurfaceMap* map, QPointF startMm = {});

    // Move steps taken so far by this object's jobs.
    std::int64_t steps() const { return m_tracer.steps(); }
    // Notes for the user gathered during the last job (borders that could not be closed,
    // rings that could not be reduced), empty when all went as planned; a job that ends
    // normally shows them in a box titled "Внимание".
    const QStringList& notes() const { return m_tracer.notes(); }

private:
    // The picture width for the protocol and the border starts of the analysis as it is now.
    void prepareTracing();
    // The follower of the surface map for the job about to start, if one is set.
    void prepareSurface();
    void noteLeftMap();
    void requireTree() const;
    void readCutterSize();
    void checkDepthField() const;
    [[noreturn]] void refuse(const QString& message,
                             std::optional<JobField> field = std::nullopt) const;

    MillWorkspace m_workspace;
    JobHost& m_host;
    MoveProtocol& m_protocol;
    MillTracePolicy m_policy;
    BorderTracer m_tracer;
    const SurfaceMap* m_surfaceMap = nullptr;
    QPointF m_surfaceStart;
    std::optional<SurfaceFollower> m_follower;
};
