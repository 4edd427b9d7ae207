#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/batch/BatchCommandLine.h"
#include "app/batch/BatchJobHost.h"
#include "figures/FigureTables.h"
#include "figures/PixelBuffer.h"

// What the figure job commands (mill, outline) share.

// The figure that --figure names when the nesting tree holds it, like a node selected in the
// window's tree; nothing otherwise, which the jobs refuse like no selection.
std::optional<std::int32_t> selectedFigure(const BatchOptions& options,
                                           const FigureAnalysis& analysis);

// Runs `job` as runBatchJob does, then writes --preview, if given, from `layer` (the layer that
// shows the path). Returns runBatchJob's status, or kExitFailed when the preview is not written.
int runFigureJob(const BatchOptions& options, BatchJobHost& host, const PixelBuffer& layer,
                 const std::function<void(JobHost&, MachineLink&)>& job);
