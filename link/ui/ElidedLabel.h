#pragma once

#include <QLabel>

// A label whose text never widens its layout. A text longer than the room it is given is cut
// with "…", and the whole text is then its tool tip. A label of more than one line breaks its
// text only where `breakAt` stands, so that a number never parts from its axis, and keeps the
// height of all its lines whether they are used or not: the controls under it never jump while
// a job changes the text. A text of more than one line that holds line ends is broken there
// and only there.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);
    ElidedLabel(int lines, const QString& breakAt, QWidget* parent = nullptr);

    // The whole text, as given to setFullText.
    const QString& fullText() const { return m_fullText; }
    void setFullText(const QString& text);
    // Changes how many lines a label made with a line count keeps (at least one).
    void setLineCount(int lines);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateShownText();
    QStringList fittedLines(int width, bool& cut) const;

    int m_lines = 1;
    QString m_breakAt;
    QString m_fullText;
};
