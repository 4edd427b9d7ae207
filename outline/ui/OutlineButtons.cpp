#include "outline/ui/OutlineButtons.h"

#include "link/ui/WindowJobHost.h"
#include "mill/WorkLayerOps.h"

OutlineButtons::OutlineButtons(FigureWindow& window)
    : FigureJobButtons(
          window, {{{QStringLiteral("Градиент"), QString()},
                    {QStringLiteral("Отступить"), QString()},
                    {QStringLiteral("Выделенная"), QStringLiteral("Гравирует выделенную фигуру")},
                    {QStringLiteral("Все"), QStringLiteral("Гравирует границы всех фигур")},
                    {QStringLiteral("Грав-ть всё"),
                     QStringLiteral("Гравирует все фигуры с заполнением")}}}) {}

void OutlineButtons::Command4_Click() {
    PictureLayers& layers = workspace().layers();
    if (!layers.isLoaded()) return;
    markOutlineGradient(layers.SourceLayer, layers.WorkLayer, workspace().analysis());
    workspace().redraw(QRect());
}

void OutlineButtons::Command5_Click() {
    PictureLayers& layers = workspace().layers();
    if (!layers.isLoaded()) return;
    offsetOutlineFigures(layers.WorkLayer, workspace().analysis());
    workspace().redraw(QRect());
}

void OutlineButtons::runOutlineJob(void (*job)(OutlineJobs&, FigureWorkspace&)) {
    window().host().runJob([this, job](JobHost& host) {
        FigureWorkspace& area = workspace();
        PictureLayers& layers = area.layers();
        OutlineJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, area.analysis(),
                          area.tool()},
                         host, window().protocol());
        job(jobs, area);
    });
}

void OutlineButtons::Command2_Click() {
    runOutlineJob([](OutlineJobs& jobs, FigureWorkspace& area) {
        jobs.EngraveSelected(area.selectedFigure());
    });
}

void OutlineButtons::Command6_Click() {
    runOutlineJob([](OutlineJobs& jobs, FigureWorkspace&) { jobs.EngraveAllBorders(); });
}

void OutlineButtons::Command7_Click() {
    runOutlineJob([](OutlineJobs& jobs, FigureWorkspace&) { jobs.EngraveAllFilled(); });
}
