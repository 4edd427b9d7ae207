#include "mill/ui/MillButtons.h"

#include "link/ui/WindowJobHost.h"
#include "mill/WorkLayerOps.h"
#include "mill/ui/SurfaceMapPanel.h"

MillButtons::MillButtons(FigureWindow& window)
    : FigureJobButtons(
          window,
          {{{QStringLiteral("Градиент"),
             QStringLiteral("Отступить от краёв картинки на радиус фрезы")},
            {QStringLiteral("Отступить"), QStringLiteral("Уменьшить фигуры на диаметр фрезы")},
            {QStringLiteral("Выделенная"), QStringLiteral("Фрезерует выделенную фигуру")},
            {QStringLiteral("Все"), QStringLiteral("Фрезерует границы всех тёмных фигур")},
            {QStringLiteral("Резать 3D"),
             QStringLiteral("Выбирает тёмные области кольцами на глубину по яркости картинки")}}}) {
}

void MillButtons::afterWorkLayerChanged(const WorkLayerOutcome& outcome) {
    if (outcome.refused()) {
        window().host().showMessage(kErrorTitle, outcome.error);
        window().host().focusField(outcome.field);
        return;
    }
    workspace().redraw(QRect());
}

void MillButtons::Command4_Click() {
    PictureLayers& layers = workspace().layers();
    if (!layers.isLoaded()) return;
    const WindowJobHost& host = window().host();
    afterWorkLayerChanged(markGradientFromFields(
        host.fieldText(JobField::Diameter), host.fieldText(JobField::FinishedWidth),
        layers.SourceLayer, layers.WorkLayer, workspace().analysis(), m_cutter));
}

void MillButtons::Command5_Click() {
    PictureLayers& layers = workspace().layers();
    if (!layers.isLoaded()) return;
    const WindowJobHost& host = window().host();
    afterWorkLayerChanged(offsetFiguresFromFields(host.fieldText(JobField::Diameter),
                                                  host.fieldText(JobField::FinishedWidth),
                                                  layers.WorkLayer, workspace().analysis()));
}

void MillButtons::runMillJob(void (*job)(MillJobs&, FigureWorkspace&)) {
    window().host().runJob([this, job](JobHost& host) {
        FigureWorkspace& area = workspace();
        PictureLayers& layers = area.layers();
        MillJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, area.analysis(),
                       m_cutter, area.tool()},
                      host, window().protocol());
        // The job's own copy: nothing that happens in the window meanwhile changes its map.
        const std::optional<SurfaceMapPanel::JobSurface> surface =
            m_surface ? m_surface->forJob() : std::nullopt;
        if (surface) jobs.followSurface(&surface->map, surface->startMm);
        job(jobs, area);
    });
}

void MillButtons::Command2_Click() {
    runMillJob(
        [](MillJobs& jobs, FigureWorkspace& area) { jobs.MillSelected(area.selectedFigure()); });
}

void MillButtons::Command6_Click() {
    runMillJob([](MillJobs& jobs, FigureWorkspace&) { jobs.MillAll(); });
}

void MillButtons::Command7_Click() {
    runMillJob([](MillJobs& jobs, FigureWorkspace&) { jobs.Cut3D(); });
}
