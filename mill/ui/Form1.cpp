#include "mill/ui/Form1.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/ui/WidgetNames.h"
#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/WorkspaceJobs.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"
#include "mill/ui/MillButtons.h"

Form1::Form1(QWidget* parent)
    : WorkingWindow({MoveWindow::Milling, QStringLiteral("Настройка"),
                     QStringLiteral("Фрезеровать"), kMillingWindowKeys},
                    parent),
      m_workspace(new FigureWorkspace(
          {kMillImageKey, QStringLiteral("Фреза"), QStringLiteral("200"), QStringLiteral("100")},
          this)),
      Text2(m_workspace->pathBox()),
      Text6(m_workspace->widthField()),
      Text7(m_workspace->heightField()),
      Text1(namedField(kMillDepthKey.field, {}, this)),
      Text3(namedField(kMillDiameterKey.field, {}, this)) {
    setWindowTitle(QStringLiteral("Strugal"));
    QFormLayout* sizeLayout = m_workspace->sizeFrameLayout();
    sizeLayout->addRow(QStringLiteral("Глубина:"), Text1);
    sizeLayout->addRow(QStringLiteral("Диаметр, мм"), Text3);
    // The keyboard goes through the size fields in the order they are shown.
    setTabOrder(Text7, Text1);
    setTabOrder(Text1, Text3);
    // "Стоп" and the progress right under the job buttons, where the eye is during a job.
    auto* buttons = new MillButtons(*m_workspace, *this, this);
    m_workspace->panelLayout()->addWidget(buttons);
    m_workspace->panelLayout()->addWidget(jobBar());
    m_workspace->sideLayout()->addWidget(panel());
    setPictureArea(m_workspace);

    connectWorkspaceToJobs(*m_workspace, host(), *panel());
    host().setField(JobField::Depth, Text1);
    host().setField(JobField::Diameter, Text3);

    Form_Load();
}

void Form1::loadPictureKey(const ConfigKey&) {
    m_workspace->loadRememberedPicture();
}
