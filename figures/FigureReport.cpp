#include "figures/FigureReport.h"

#include <charconv>
#include <cstdint>
#include <string>

#include "figures/FigureGuards.h"

namespace {

void appendNumber(std::string& text, std::int32_t value) {
    char digits[12];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

void appendKey(std::string& text, std::int32_t figure) {
    text += nodeKeyOfFigure(figure).toStdString();
}

}  // namespace

QByteArray figureReport(const FigureAnalysis& analysis) {
    std::string text = "picture ";
    appendNumber(text, analysis.labels.width());
    text += ' ';
    appendNumber(text, analysis.labels.height());
    text += '\n';
    for (std::size_t n = 1; n <= analysis.figures.size(); ++n) {
        const FigureRecord& figure = analysis.figures[n - 1];
        if (figure.State != kInUse) continue;
        text += "figure ";
        appendNumber(text, std::int32_t(n));
        text += figure.Color == kLight ? " light depth " : " dark depth ";
        appendNumber(text, figure.Depth);
        text += '\n';
    }
    for (std::int32_t k = 0; k < analysis.pairCount; ++k) {
        const NestingPair& pair = analysis.pairs[std::size_t(k)];
        text += "pair ";
        appendNumber(text, pair.Outer);
        text += ' ';
        appendNumber(text, pair.Inner);
        text += '\n';
    }
    for (const TreeNode& node : analysis.tree) {
        text += "node ";
        appendKey(text, node.figure);
        text += ' ';
        if (node.parent == 0) {
            text += '-';
        } else {
            appendKey(text, node.parent);
        }
        text += '\n';
    }
    return QByteArray::fromStdString(text);
}

bool writeLabelGrid(const LabelGrid& labels, QIODevice& device) {
    std::string line;
    for (int y = 0; y <= labels.height(); ++y) {
        line.clear();
        for (int x = 0; x <= labels.width(); ++x) {
            if (x > 0) line += ' ';
            appendNumber(line, labels.at(x, y));
        }
        line += '\n';
        if (device.write(line.data(), qint64(line.size())) != qint64(line.size())) return false;
    }
    return true;
}
