#include "figures/ui/WorkspaceJobs.h"

#include <QLineEdit>
#include <QPushButton>

#include "figures/ui/FigureWorkspace.h"
#include "link/ui/WindowJobHost.h"

void connectWorkspaceToJobs(FigureWorkspace& workspace, WindowJobHost& host) {
    host.setField(JobField::FinishedWidth, workspace.widthField());
    host.setRedraw([&workspace](const QRect& changed) { workspace.redraw(changed); });
    host.setFiguresChanged([&workspace] { workspace.figuresChanged(); });
    host.addJobControl(workspace.openButton());
    host.addJobControl(workspace.parseButton());
}
