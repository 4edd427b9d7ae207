#include "figures/ui/WorkspaceJobs.h"

#include <QLineEdit>
#include <QPushButton>

#include "figures/ui/FigureWorkspace.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"

void connectWorkspaceToJobs(FigureWorkspace& workspace, WindowJobHost& host, ManualPanel& panel) {
    host.setField(JobField::FinishedWidth, workspace.widthField());
    host.setRedraw([&workspace](const QRect& changed) { workspace.redraw(changed); });
    host.setFiguresChanged([&workspace] { workspace.figuresChanged(); });
    host.addJobControl(workspace.openButton());
    host.addJobControl(workspace.parseButton());
    panel.setToolPositionExtra([&workspace] {
        const ToolPosition& tool = workspace.tool();
        return QStringLiteral("пиксель %1, %2").arg(tool.ToolX).arg(tool.ToolY);
    });
}
