#pragma once

#include <cstdint>
#include <optional>

#include "app/batch/BatchCommandLine.h"
#include "figures/FigureTables.h"

// What the figure job commands (mill, outline) share.

// The figure that --figure names when the nesting tree holds it, like a node selected in the
// window's tree; nothing otherwise, which the jobs refuse like no selection.
std::optional<std::int32_t> selectedFigure(const BatchOptions& options,
                                           const FigureAnalysis& analysis);
