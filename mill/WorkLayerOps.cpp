#include "mill/WorkLayerOps.h"

#include "mill/RasterOps.h"

// In each operation the figure tables are emptied because they describe the old work layer;
// the label grid and the tree stay for display until the next parse.

WorkLayerOutcome markGradientFromFields(QStringView diameterText, QStringView widthText,
                                        const PixelBuffer& source, PixelBuffer& work,
                                        FigureAnalysis& analysis, CutterSize& cutter) {
    const CutterSizeResult size = cutterSize(diameterText, widthText, source.width, source.height);
    if (!size.size) return {size.error, false, size.field};
    cutter = *size.size;
    const bool changed = MarkGradient(source, work, cutter.radius, cutter.reach);
    analysis.emptyTables();
    return {QString(), changed, JobField::Diameter};
}

WorkLayerOutcome offsetFiguresFromFields(QStringView diameterText, QStringView widthText,
                                         PixelBuffer& work, FigureAnalysis& analysis) {
    const CutterSizeResult size = offsetSize(diameterText, widthText, work.width, work.height);
    if (!size.size) return {size.error, false, size.field};
    const bool changed = OffsetFigures(work, size.size->radius, size.size->reach);
    analysis.emptyTables();
    return {QString(), changed, JobField::Diameter};
}

bool markOutlineGradient(const PixelBuffer& source, PixelBuffer& work, FigureAnalysis& analysis) {
    const bool changed = MarkGradient(source, work, kOutlineRadius, kOutlineReach);
    analysis.emptyTables();
    return changed;
}

bool offsetOutlineFigures(PixelBuffer& work, FigureAnalysis& analysis) {
    const bool changed = OffsetFigures(work, kOutlineRadius, kOutlineReach);
    analysis.emptyTables();
    return changed;
}
