#include "app/batch/FigureCommandSupport.h"

#include <algorithm>

#include "app/batch/BatchOutput.h"

std::optional<std::int32_t> selectedFigure(const BatchOptions& options,
                                           const FigureAnalysis& analysis) {
    if (!options.figure) return std::nullopt;
    const bool inTree =
        std::any_of(analysis.tree.begin(), analysis.tree.end(),
                    [&](const TreeNode& node) { return node.figure == *options.figure; });
    if (!inTree) return std::nullopt;
    return *options.figure;
}

int runFigureJob(const BatchOptions& options, BatchJobHost& host, const PixelBuffer& layer,
                 const std::function<void(JobHost&, MachineLink&)>& job) {
    int status = runBatchJob(options, host, job);
    if (!options.preview.isEmpty() && !writePreview(options.preview, imageView(layer)))
        status = kExitFailed;
    return status;
}
