#include "outline/ui/Form5.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Config.h"
#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/WorkspaceJobs.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"
#include "link/ui/WindowLink.h"

Form5::Form5(QWidget* parent)
    : QWidget(parent),
      m_workspace(
          new FigureWorkspace({"Text1", QStringLiteral("Etching2_image"), QStringLiteral("Лазер"),
                               QStringLiteral("50"), QStringLiteral("40")},
                              this)),
      Text1(m_workspace->pathBox()),
      Text6(m_workspace->widthField()),
      Text7(m_workspace->heightField()),
      m_link(new WindowLink(this, MoveWindow::Outlining, QStringLiteral("Настройка"),
                            QStringLiteral("Гравировать"))) {
    setWindowTitle(QStringLiteral("Обведение силуэтов и орнаментов"));
    m_workspace->sideLayout()->addWidget(m_link->panel());
    m_workspace->sideLayout()->addWidget(m_link->jobBar());

    connectWorkspaceToJobs(*m_workspace, m_link->host());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_workspace);

    Form_Load();
}

void Form5::Form_Load() {
    m_link->panel()->showPortStatus();
    Text6->setText(ReadSetting(QStringLiteral("Etching2_width"), QStringLiteral("200")));
    m_workspace->loadRememberedPicture();
}

void Form5::Form_Unload() {
    WriteSetting(QStringLiteral("Etching2_width"), Text6->text());
}

void Form5::closeEvent(QCloseEvent* event) {
    if (!m_link->host().readyToClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}
