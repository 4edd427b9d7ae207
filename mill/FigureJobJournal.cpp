#include "mill/FigureJobJournal.h"

#include <algorithm>

namespace {

QString layerHash(const PixelBuffer& layer) {
    return pixelHash(layer.bytes.data(), layer.bytes.size());
}

}  // namespace

QList<JournalEntry> figureJobEntries(const PictureLayers& layers, const FigureAnalysis& analysis,
                                     const ToolPosition& tool) {
    return {
        {QStringLiteral("work_hash"),
         QStringLiteral("рабочий слой (после «Градиент» и «Отступить»)"),
         layerHash(layers.WorkLayer)},
        {QStringLiteral("cutter_hash"), QStringLiteral("слой инструмента (следы прежних работ)"),
         layerHash(layers.CutterLayer)},
        {QStringLiteral("figures"), QStringLiteral("фигур в дереве"),
         QString::number(analysis.tree.size())},
        {QStringLiteral("tool_start"), QStringLiteral("начальная точка инструмента"),
         QStringLiteral("%1,%2,%3").arg(tool.ToolX).arg(tool.ToolY).arg(tool.ToolLevel)},
    };
}

QList<JournalEntry> figureJobIdentity(const QString& window, const QString& words,
                                      const QString& picturePath, const FigureJobStart& start,
                                      QList<JournalEntry> fields, const ProgramSettings& settings) {
    const PixelBuffer& source = start.layers.SourceLayer;
    const JournalPicture picture{picturePath, source.width, source.height, layerHash(source)};
    fields << figureJobEntries(start.layers, start.analysis, start.tool);
    return journalIdentity(window, words, picture, fields, settings);
}

qint64 largestFigure(const FigureAnalysis& analysis) {
    std::int32_t largest = 0;
    for (const TreeNode& node : analysis.tree) largest = std::max(largest, node.figure);
    return largest;
}

std::optional<std::int32_t> selectedFigureOfWords(const QString& words, const QString& command) {
    const QString selected = command + QStringLiteral(" selected ");
    if (!words.startsWith(selected)) return std::nullopt;
    bool whole = false;
    const std::int32_t figure = words.mid(selected.size()).toInt(&whole);
    if (!whole) return std::nullopt;
    return figure;
}
