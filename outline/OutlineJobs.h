#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>

#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"
#include "figures/ToolPosition.h"
#include "link/job/JobHost.h"
#include "link/protocol/MoveProtocol.h"
#include "mill/BorderTracer.h"
#include "mill/SurfaceFollower.h"
#include "outline/OutlineTracePolicy.h"

// What the outlining jobs work on: the window's layers and figures and its tool.
struct OutlineWorkspace {
    PixelBuffer& source;
    PixelBuffer& work;
    PixelBuffer& laser;  // the "Лазер" layer: the path is drawn into it
    FigureAnalysis& analysis;
    ToolPosition& tool;
};

// The outlining window's three jobs: the milling jobs' walk along figure borders with the laser
// (OutlineTracePolicy) instead of the cutter, through the window's MoveProtocol; nothing is
// sent when the output box is clear (a dry run that only draws, 1 ms per step). Each ends by
// throwing JobEnded when it is refused (no tree, no selection, a width that is not a number
// above 0), stopped by the user (the laser switched off first), abandoned, or left without an
// answer; otherwise it returns, and shows its notes in a box titled "Внимание". Once its checks
// have passed, each starts on a clean "Лазер" layer: the picture, without the marks of earlier
// jobs.
class OutlineJobs {
public:
    OutlineJobs(OutlineWorkspace workspace, JobHost& host, MoveProtocol& protocol);
    OutlineJobs(const OutlineJobs&) = delete;
    OutlineJobs& operator=(const OutlineJobs&) = delete;

    // "Выделенная": the borders of `selected` (the figure of the selected tree node, or nothing
    // when none is selected), inner borders first; light or dark alike. Starts from (1, 1).
    void EngraveSelected(std::optional<std::int32_t> selected);
    // "Все": every dark figure, the most deeply nested first, equal depths in the order the
    // row-by-row scan meets them; each marked finished. Refused, saying why, when no dark
    // figure is left (a second run without a parse, or tables emptied by "Градиент" or
    // "Отступить").
    void EngraveAllBorders();
    // "Грав-ть всё": the 3 × 3 gradient and one offset, then ring after ring: all dark figures,
    // four one-pixel offsets, a new parse, until no figure is left or four offsets change
    // nothing (a note then says that the rest cannot be filled).
    void EngraveAllFilled();

    // The probed surface the laser's Z follows on the G-code ports (not owned; nullptr for the
    // flat plane), pixel (1, 1) lying `startMm` from the map's origin. Our own controller's
    // laser lines have no Z, so there the map changes nothing.
    void followSurface(const SurfaceMap* map, QPointF startMm = {}) {
        m_surfaceMap = map;
        m_surfaceStart = startMm;
    }

    std::int64_t steps() const { return m_tracer.steps(); }
    const QStringList& notes() const { return m_tracer.notes(); }

private:
    void showNotes();
    // The checks of the width, the picture width for the protocol, the border starts of the
    // analysis as it is now, and the laser layer cleared.
    void prepareTracing();
    void requireTree() const;
    [[noreturn]] void refuse(const QString& message,
                             std::optional<JobField> field = std::nullopt) const;

    OutlineWorkspace m_workspace;
    JobHost& m_host;
    MoveProtocol& m_protocol;
    OutlineTracePolicy m_policy;
    BorderTracer m_tracer;
    const SurfaceMap* m_surfaceMap = nullptr;
    QPointF m_surfaceStart;
    std::optional<SurfaceFollower> m_follower;
};
