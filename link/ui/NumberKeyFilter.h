#pragma once

#include <QObject>

class QKeyEvent;
class QLineEdit;

// The key filter of the manual move fields tx, ty, tz. Of the printable characters typed, the
// digits, "-" and "," pass, "." is entered as ",", and every other one is dropped; editing and
// moving keys (Backspace, Delete, arrows, Tab, Home, End) and the clipboard shortcuts pass. The
// position of "-" and the number of commas are not checked here: the move button checks the
// whole text.
//
// Text from the clipboard (the paste shortcuts, the context menu, the middle button) is entered
// only when it reads as a number by parseNumber, with "." entered as ","; dropping text on the
// field is turned off.
class NumberKeyFilter : public QObject {
    Q_OBJECT
public:
    // Installs a filter on `field`, owned by the field.
    static void install(QLineEdit* field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit NumberKeyFilter(QLineEdit* field);
    bool filterKey(QKeyEvent* event);
    void pasteFrom(const QString& text);
    void showContextMenu(const QPoint& globalPosition);

    QLineEdit* m_field;
};
