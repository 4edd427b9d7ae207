#pragma once

#include <QString>
#include <functional>

#include "link/job/MessageTitles.h"

class QWidget;

// How a window shows a message to the user: a modal box with an OK button in the program, a
// recorder in tests (which must never meet a real modal box).
using MessageFunction =
    std::function<void(QWidget* parent, const MessageTitle& title, const QString& text)>;

// The program's message box: `text` under `title`, with the icon of the title's kind, one OK
// button, modal to `parent`'s window.
void showMessageBox(QWidget* parent, const MessageTitle& title, const QString& text);

// The same box, opened without waiting when the window next runs its events: a message of a
// window's Form_Load then stands in front of the window, and the caller is never held up.
void showMessageBoxLater(QWidget* parent, const MessageTitle& title, const QString& text);

// Closes the window that `widget` is shown in: its child window frame when it sits in the main
// window's area, otherwise the widget itself.
void closeHostingWindow(QWidget* widget);
