#include "outline/ui/OutlineButtons.h"

#include <QGridLayout>
#include <QPushButton>

#include "figures/ui/FigureWorkspace.h"
#include "link/ui/WindowJobHost.h"
#include "link/ui/WorkingWindow.h"
#include "mill/WorkLayerOps.h"

OutlineButtons::OutlineButtons(FigureWorkspace& workspace, WorkingWindow& window, QWidget* parent)
    : QWidget(parent), m_workspace(workspace), m_window(window) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(addButton("Command4", QStringLiteral("Градиент"), QString(),
                              &OutlineButtons::Command4_Click),
                    0, 0);
    grid->addWidget(addButton("Command5", QStringLiteral("Отступить"), QString(),
                              &OutlineButtons::Command5_Click),
                    0, 1);
    grid->addWidget(
        addButton("Command2", QStringLiteral("Выделенная"),
                  QStringLiteral("Гравирует выделенную фигуру"), &OutlineButtons::Command2_Click),
        1, 0);
    grid->addWidget(
        addButton("Command6", QStringLiteral("Все"), QStringLiteral("Гравирует границы всех фигур"),
                  &OutlineButtons::Command6_Click),
        1, 1);
    grid->addWidget(addButton("Command7", QStringLiteral("Грав-ть всё"),
                              QStringLiteral("Гравирует все фигуры с заполнением"),
                              &OutlineButtons::Command7_Click),
                    2, 0, 1, 2);
}

QPushButton* OutlineButtons::addButton(const char* name, const QString& caption,
                                       const QString& hint, void (OutlineButtons::*click)()) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    if (!hint.isEmpty()) button->setToolTip(hint);
    connect(button, &QPushButton::clicked, this, click);
    m_window.host().addJobControl(button);
    return button;
}

void OutlineButtons::Command4_Click() {
    PictureLayers& layers = m_workspace.layers();
    if (!layers.isLoaded()) return;
    markOutlineGradient(layers.SourceLayer, layers.WorkLayer, m_workspace.analysis());
    m_workspace.redraw(QRect());
}

void OutlineButtons::Command5_Click() {
    PictureLayers& layers = m_workspace.layers();
    if (!layers.isLoaded()) return;
    offsetOutlineFigures(layers.WorkLayer, m_workspace.analysis());
    m_workspace.redraw(QRect());
}

void OutlineButtons::runOutlineJob(void (*job)(OutlineJobs&, FigureWorkspace&)) {
    m_window.host().runJob([this, job](JobHost& host) {
        PictureLayers& layers = m_workspace.layers();
        OutlineJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer,
                          m_workspace.analysis(), m_tool},
                         host, m_window.protocol());
        job(jobs, m_workspace);
    });
}

void OutlineButtons::Command2_Click() {
    runOutlineJob([](OutlineJobs& jobs, FigureWorkspace& workspace) {
        jobs.EngraveSelected(workspace.selectedFigure());
    });
}

void OutlineButtons::Command6_Click() {
    runOutlineJob([](OutlineJobs& jobs, FigureWorkspace&) { jobs.EngraveAllBorders(); });
}

void OutlineButtons::Command7_Click() {
    runOutlineJob([](OutlineJobs& jobs, FigureWorkspace&) { jobs.EngraveAllFilled(); });
}
