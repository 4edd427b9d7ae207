#pragma once

#include "figures/ui/FigureWindow.h"
#include "outline/OutlineJobs.h"

// The outlining window's own buttons in its control panel: "Градиент" and "Отступить" reshape
// the work layer with the 3 × 3 neighbourhood; "Выделенная", "Все" and "Грав-ть всё" run the
// outlining jobs. The tool's position is the workspace's, so the window shows it during a job.
class OutlineButtons : public FigureJobButtons {
    Q_OBJECT
public:
    explicit OutlineButtons(FigureWindow& window);

    void Command4_Click() override;  // "Градиент"
    void Command5_Click() override;  // "Отступить"
    void Command2_Click() override;  // "Выделенная"
    void Command6_Click() override;  // "Все"
    void Command7_Click() override;  // "Грав-ть всё"

private:
    void runOutlineJob(void (*job)(OutlineJobs&, FigureWorkspace&));
};
