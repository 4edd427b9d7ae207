#include "mill/ui/MillButtons.h"

#include <QGridLayout>
#include <QPushButton>

#include "figures/ui/FigureWorkspace.h"
#include "link/ui/WindowJobHost.h"
#include "link/ui/WorkingWindow.h"
#include "mill/WorkLayerOps.h"

MillButtons::MillButtons(FigureWorkspace& workspace, WorkingWindow& window, QWidget* parent)
    : QWidget(parent), m_workspace(workspace), m_window(window) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(addButton("Command4", QStringLiteral("Градиент"),
                              QStringLiteral("Отступить от краёв картинки на радиус фрезы"),
                              &MillButtons::Command4_Click),
                    0, 0);
    grid->addWidget(addButton("Command5", QStringLiteral("Отступить"),
                              QStringLiteral("Уменьшить фигуры на диаметр фрезы"),
                              &MillButtons::Command5_Click),
                    0, 1);
    grid->addWidget(
        addButton("Command2", QStringLiteral("Выделенная"),
                  QStringLiteral("Фрезерует выделенную фигуру"), &MillButtons::Command2_Click),
        1, 0);
    grid->addWidget(addButton("Command6", QStringLiteral("Все"),
                              QStringLiteral("Фрезерует границы всех тёмных фигур"),
                              &MillButtons::Command6_Click),
                    1, 1);
    grid->addWidget(addButton("Command7", QStringLiteral("Резать 3D"),
                              QStringLiteral("Выбирает тёмные области кольцами на глубину "
                                             "по яркости картинки"),
                              &MillButtons::Command7_Click),
                    2, 0, 1, 2);
}

QPushButton* MillButtons::addButton(const char* name, const QString& caption, const QString& hint,
                                    void (MillButtons::*click)()) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    connect(button, &QPushButton::clicked, this, click);
    m_window.host().addJobControl(button);
    return button;
}

void MillButtons::afterWorkLayerChanged(const WorkLayerOutcome& outcome) {
    if (outcome.refused()) {
        m_window.host().showMessage(kErrorTitle, outcome.error);
        m_window.host().focusField(outcome.field);
        return;
    }
    m_workspace.redraw(QRect());
}

void MillButtons::Command4_Click() {
    PictureLayers& layers = m_workspace.layers();
    if (!layers.isLoaded()) return;
    const WindowJobHost& host = m_window.host();
    afterWorkLayerChanged(markGradientFromFields(
        host.fieldText(JobField::Diameter), host.fieldText(JobField::FinishedWidth),
        layers.SourceLayer, layers.WorkLayer, m_workspace.analysis(), m_cutter));
}

void MillButtons::Command5_Click() {
    PictureLayers& layers = m_workspace.layers();
    if (!layers.isLoaded()) return;
    const WindowJobHost& host = m_window.host();
    afterWorkLayerChanged(offsetFiguresFromFields(host.fieldText(JobField::Diameter),
                                                  host.fieldText(JobField::FinishedWidth),
                                                  layers.WorkLayer, m_workspace.analysis()));
}

void MillButtons::runMillJob(void (*job)(MillJobs&, FigureWorkspace&)) {
    m_window.host().runJob([this, job](JobHost& host) {
        PictureLayers& layers = m_workspace.layers();
        MillJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer,
                       m_workspace.analysis(), m_cutter, m_workspace.tool()},
                      host, m_window.protocol());
        job(jobs, m_workspace);
    });
}

void MillButtons::Command2_Click() {
    runMillJob([](MillJobs& jobs, FigureWorkspace& workspace) {
        jobs.MillSelected(workspace.selectedFigure());
    });
}

void MillButtons::Command6_Click() {
    runMillJob([](MillJobs& jobs, FigureWorkspace&) { jobs.MillAll(); });
}

void MillButtons::Command7_Click() {
    runMillJob([](MillJobs& jobs, FigureWorkspace&) { jobs.Cut3D(); });
}
