#pragma once

#include <QWidget>

#include "mill/CutterGeometry.h"
#include "mill/MillJobs.h"
#include "mill/WorkLayerOps.h"

class FigureWorkspace;
class QPushButton;
class WorkingWindow;

// The milling window's own buttons in its control panel: "Градиент" and "Отступить" reshape the
// work layer; "Выделенная", "Все" and "Резать 3D" run the milling jobs through the window's job
// host. It keeps the cutter size the jobs leave behind between them; the tool's position is the
// workspace's. All five are disabled while any job of the program runs.
class MillButtons : public QWidget {
    Q_OBJECT
public:
    MillButtons(FigureWorkspace& workspace, WorkingWindow& window, QWidget* parent = nullptr);

    // The window's click handlers, by the buttons' names.
    void Command4_Click();  // "Градиент"
    void Command5_Click();  // "Отступить"
    void Command2_Click();  // "Выделенная"
    void Command6_Click();  // "Все"
    void Command7_Click();  // "Резать 3D"

private:
    QPushButton* addButton(const char* name, const QString& caption, const QString& hint,
                           void (MillButtons::*click)());
    // Runs one of the milling jobs on the window's layers and figures.
    void runMillJob(void (*job)(MillJobs&, FigureWorkspace&));
    // Redraws after "Градиент" or "Отступить"; a refusal is shown and its field focused.
    void afterWorkLayerChanged(const WorkLayerOutcome& outcome);

    FigureWorkspace& m_workspace;
    WorkingWindow& m_window;
    CutterSize m_cutter;  // CutterRadius and CutterReach of the last gradient or job
};
