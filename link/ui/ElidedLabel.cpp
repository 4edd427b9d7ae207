#include "link/ui/ElidedLabel.h"

#include <QResizeEvent>

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setFullText(text);
}

ElidedLabel::ElidedLabel(int lines, const QString& breakAt, QWidget* parent)
    : QLabel(parent), m_lines(qMax(1, lines)), m_breakAt(breakAt) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    updateShownText();
}

void ElidedLabel::setFullText(const QString& text) {
    m_fullText = text;
    updateShownText();
}

void ElidedLabel::setLineCount(int lines) {
    m_lines = qMax(1, lines);
    updateGeometry();
    updateShownText();
}

QSize ElidedLabel::minimumSizeHint() const {
    if (m_lines == 1) return {0, QLabel::minimumSizeHint().height()};
    return sizeHint();
}

QSize ElidedLabel::sizeHint() const {
    if (m_lines == 1) return {0, QLabel::sizeHint().height()};
    const int margins = contentsMargins().top() + contentsMargins().bottom();
    return {0, m_lines * fontMetrics().lineSpacing() + margins};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateShownText();
}

namespace {

// Cuts each line to `width` with "…"; true when one was cut.
bool elideLines(QStringList& lines, const QFontMetrics& metrics, int width) {
    bool cut = false;
    for (QString& shown : lines) {
        const QString elided = metrics.elidedText(shown, Qt::ElideRight, width);
        cut = cut || elided != shown;
        shown = elided;
    }
    return cut;
}

}  // namespace

// The lines of a text with line ends, or the pieces between the breaks, as many to a line as
// fit; what the last line cannot hold is cut there.
QStringList ElidedLabel::fittedLines(int width, bool& cut) const {
    const QFontMetrics metrics = fontMetrics();
    QStringList lines;
    if (m_lines > 1 && m_fullText.contains(u'\n')) {
        lines = m_fullText.split(u'\n');
        while (lines.size() > m_lines) lines[lines.size() - 2] += m_breakAt + lines.takeLast();
        cut = elideLines(lines, metrics, width);
        return lines;
    }
    const QStringList pieces = m_lines > 1 ? m_fullText.split(m_breakAt) : QStringList{m_fullText};
    QString line;
    for (const QString& piece : pieces) {
        const QString longer = line.isEmpty() ? piece : line + m_breakAt + piece;
        if (line.isEmpty() || metrics.horizontalAdvance(longer) <= width ||
            lines.size() == m_lines - 1) {
            line = longer;
        } else {
            lines << line;
            line = piece;
        }
    }
    lines << line;
    cut = elideLines(lines, metrics, width);
    return lines;
}

void ElidedLabel::updateShownText() {
    bool cut = false;
    const QStringList lines = fittedLines(contentsRect().width(), cut);
    setText(lines.join(u'\n'));
    setToolTip(cut ? m_fullText : QString());
}
