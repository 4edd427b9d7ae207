#include "link/protocol/MoveLineReader.h"

#include <limits>

namespace {

constexpr qsizetype kLongestLine = 64;

// A signed 32-bit whole number in plain decimal: an optional "-" and digits.
std::optional<qint32> readField(const QByteArray& text) {
    const qsizetype start = text.startsWith('-') ? 1 : 0;
    if (text.size() == start || text.size() - start > 10) return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (start == 1) value = -value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

}  // namespace

QList<MoveLineReader::Line> MoveLineReader::take(const QByteArray& bytes) {
    QList<Line> lines;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n' || c == ' ') continue;
        if (c == ';') {
            lines.append({m_partial, true});
            m_partial.clear();
            continue;
        }
        m_partial += c;
        if (m_partial.size() > kLongestLine) {
            lines.append({m_partial, false});
            m_partial.clear();
        }
    }
    return lines;
}

std::optional<std::array<qint32, 3>> ParseMoveLine(const QByteArray& text) {
    const QList<QByteArray> fields = text.split(',');
    if (fields.size() != 3) return std::nullopt;
    std::array<qint32, 3> steps{};
    for (int i = 0; i < 3; ++i) {
        const std::optional<qint32> step = readField(fields[i]);
        if (!step) return std::nullopt;
        steps[i] = *step;
    }
    return steps;
}
