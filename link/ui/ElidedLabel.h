#pragma once

#include <QLabel>

// A one-line label whose text never widens its layout: a text longer than the room it is given
// is cut with "…", and the whole text is then its tool tip.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    // The whole text, as given to setFullText.
    const QString& fullText() const { return m_fullText; }
    void setFullText(const QString& text);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateShownText();

    QString m_fullText;
};
