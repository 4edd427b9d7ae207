#include "outline/ui/Form5.h"

#include <QLineEdit>
#include <QVBoxLayout>

#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/WorkspaceJobs.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"
#include "outline/ui/OutlineButtons.h"

Form5::Form5(QWidget* parent)
    : WorkingWindow({MoveWindow::Outlining, QStringLiteral("Настройка"),
                     QStringLiteral("Гравировать"), kOutliningWindowKeys},
                    parent),
      m_workspace(new FigureWorkspace(
          {kOutlineImageKey, QStringLiteral("Лазер"), QStringLiteral("50"), QStringLiteral("40")},
          this)),
      Text1(m_workspace->pathBox()),
      Text6(m_workspace->widthField()),
      Text7(m_workspace->heightField()) {
    setWindowTitle(QStringLiteral("Обведение силуэтов и орнаментов"));
    // "Стоп" and the progress right under the job buttons, where the eye is during a job.
    m_workspace->panelLayout()->addWidget(new OutlineButtons(*m_workspace, *this, this));
    m_workspace->panelLayout()->addWidget(jobBar());
    m_workspace->sideLayout()->addWidget(panel());
    setPictureArea(m_workspace);

    connectWorkspaceToJobs(*m_workspace, host(), *panel());

    Form_Load();
}

void Form5::loadPictureKey(const ConfigKey&) {
    m_workspace->loadRememberedPicture();
}
