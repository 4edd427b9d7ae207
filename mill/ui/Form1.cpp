#include "mill/ui/Form1.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Config.h"
#include "app/ui/WidgetNames.h"
#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/WorkspaceJobs.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"
#include "link/ui/WindowLink.h"
#include "mill/ui/MillButtons.h"

Form1::Form1(QWidget* parent)
    : QWidget(parent),
      m_workspace(new FigureWorkspace({"Text2", QStringLiteral("Image"), QStringLiteral("Фреза"),
                                       QStringLiteral("200"), QStringLiteral("100")},
                                      this)),
      Text2(m_workspace->pathBox()),
      Text6(m_workspace->widthField()),
      Text7(m_workspace->heightField()),
      Text1(namedField("Text1", {}, this)),
      Text3(namedField("Text3", {}, this)),
      m_link(new WindowLink(this, MoveWindow::Milling, QStringLiteral("Настройка"),
                            QStringLiteral("Фрезеровать"))) {
    setWindowTitle(QStringLiteral("Strugal"));
    QFormLayout* sizeLayout = m_workspace->sizeFrameLayout();
    sizeLayout->addRow(QStringLiteral("Глубина:"), Text1);
    sizeLayout->addRow(QStringLiteral("Диаметр, мм"), Text3);
    // The keyboard goes through the size fields in the order they are shown.
    setTabOrder(Text7, Text1);
    setTabOrder(Text1, Text3);
    // "Стоп" and the progress right under the job buttons, where the eye is during a job.
    m_workspace->panelLayout()->addWidget(new MillButtons(*m_workspace, *m_link, this));
    m_workspace->panelLayout()->addWidget(m_link->jobBar());
    m_workspace->sideLayout()->addWidget(m_link->panel());

    connectWorkspaceToJobs(*m_workspace, m_link->host());
    m_link->host().setField(JobField::Depth, Text1);
    m_link->host().setField(JobField::Diameter, Text3);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_workspace);

    Form_Load();
}

void Form1::Form_Load() {
    m_link->panel()->showPortStatus();
    Text6->setText(ReadSetting(QStringLiteral("cncrez_width"), QStringLiteral("200")));
    Text1->setText(ReadSetting(QStringLiteral("cncrez_depth"), QStringLiteral("10")));
    Text3->setText(ReadSetting(QStringLiteral("mill_diameter"), QStringLiteral("3")));
    m_workspace->loadRememberedPicture();
}

void Form1::Form_Unload() {
    // "Image" is written only when a picture has been chosen, never here.
    WriteSetting(QStringLiteral("cncrez_width"), Text6->text());
    WriteSetting(QStringLiteral("cncrez_depth"), Text1->text());
    WriteSetting(QStringLiteral("mill_diameter"), Text3->text());
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!m_link->host().readyToClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}
