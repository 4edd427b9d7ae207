#pragma once

#include <QWidget>

#include "figures/ToolPosition.h"
#include "outline/OutlineJobs.h"

class FigureWorkspace;
class QPushButton;
class WorkingWindow;

// The outlining window's own buttons in its control panel: "Градиент" and "Отступить" reshape
// the work layer with the 3 × 3 neighbourhood; "Выделенная", "Все" and "Грав-ть всё" run the
// outlining jobs through the window's job host. It keeps where the tool stands between jobs.
// All five are disabled while any job of the program runs.
class OutlineButtons : public QWidget {
    Q_OBJECT
public:
    OutlineButtons(FigureWorkspace& workspace, WorkingWindow& window, QWidget* parent = nullptr);

    // The window's click handlers, by the buttons' names.
    void Command4_Click();  // "Градиент"
    void Command5_Click();  // "Отступить"
    void Command2_Click();  // "Выделенная"
    void Command6_Click();  // "Все"
    void Command7_Click();  // "Грав-ть всё"

    const ToolPosition& tool() const { return m_tool; }

private:
    QPushButton* addButton(const char* name, const QString& caption, const QString& hint,
                           void (OutlineButtons::*click)());
    void runOutlineJob(void (*job)(OutlineJobs&, FigureWorkspace&));

    FigureWorkspace& m_workspace;
    WorkingWindow& m_window;
    ToolPosition m_tool;  // (1, 1) when the window loads
};
