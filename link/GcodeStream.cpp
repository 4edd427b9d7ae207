#include "link/GcodeStream.h"

#include <limits>

#include "app/ProgramSettings.h"

namespace {

constexpr qsizetype kLongestLine = 64;

std::optional<qint32> field(const QByteArray& text) {
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

QList<GcodeStream::Taken> GcodeStream::take(const QByteArray& bytes) {
    QList<Taken> taken;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n' || c == ' ') continue;
        if (c != ';') {
            m_partial += c;
            if (m_partial.size() > kLongestLine) {
                taken.append({m_partial, std::nullopt});
                m_partial.clear();
            }
            continue;
        }
        Taken line{m_partial + ';', std::nullopt};
        const QList<QByteArray> fields = m_partial.split(',');
        m_partial.clear();
        if (fields.size() == 3) {
            const auto x = field(fields[0]), y = field(fields[1]), z = field(fields[2]);
            const ProgramSettings& settings = Settings();
            if (x && y && z) {
                line.step = m_translator.translate(
                    m_meaning, {settings.StepRatioX, settings.StepRatioY, settings.StepRatioZ}, *x,
                    *y, *z);
            }
        }
        taken.append(line);
    }
    return taken;
}
