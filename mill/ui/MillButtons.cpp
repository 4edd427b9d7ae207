#include "mill/ui/MillButtons.h"

#include <QGridLayout>
#include <QPushButton>

#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/WindowJobHost.h"
#include "mill/WorkLayerOps.h"
#include "mill/ui/SurfaceMapPanel.h"

namespace {

// The milling job's journal, named as the batch command line names it.
QList<JournalEntry> millJournalIdentity(const QString& words, const QString& path,
                                        const PixelBuffer& source, const JobHost& host,
                                        const ProgramSettings& settings) {
    const JournalPicture picture{path, source.width, source.height,
                                 pixelHash(source.bytes.data(), source.bytes.size())};
    return journalIdentity(
        QStringLiteral("mill"), words, picture,
        {{QStringLiteral("width"), QStringLiteral("ширина"),
          host.fieldText(JobField::FinishedWidth)},
         {QStringLiteral("depth"), QStringLiteral("глубина"), host.fieldText(JobField::Depth)},
         {QStringLiteral("diameter"), QStringLiteral("диаметр фрезы"),
          host.fieldText(JobField::Diameter)}},
        settings);
}

}  // namespace

MillButtons::MillButtons(FigureWindow& window)
    : FigureJobButtons(
          window,
          {{{QStringLiteral("Градиент"),
             QStringLiteral("Отступить от краёв картинки на радиус фрезы")},
            {QStringLiteral("Отступить"), QStringLiteral("Уменьшить фигуры на диаметр фрезы")},
            {QStringLiteral("Выделенная"), QStringLiteral("Фрезерует выделенную фигуру")},
            {QStringLiteral("Все"), QStringLiteral("Фрезерует границы всех тёмных фигур")},
            {QStringLiteral("Резать 3D"),
             QStringLiteral("Выбирает тёмные области кольцами на глубину по яркости картинки")}}}),
      m_continue(new JobContinuation(window.host(), window.program(), this)) {
    connect(m_continue, &JobContinuation::continueClicked, this, &MillButtons::Continue_Click);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_continue->button(), 3, 0, 1, 2);
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

void MillButtons::runMillJob(MillJob job, const QString& words, std::optional<ResumeStart> resume) {
    FigureWorkspace& area = workspace();
    if (resume) {
        area.layers() = m_started->layers;
        area.analysis() = m_started->analysis;
        area.tool() = m_started->tool;
        window().host().figuresChanged();
        area.redraw(QRect());
    } else {
        m_started = JobStart{job, words, area.layers(), area.analysis(), area.tool()};
    }
    ProgramContext& program = window().program();
    const QString path = area.picturePath();
    m_continue->run(
        [&](const JobHost& host) {
            return millJournalIdentity(words, path, m_started->layers.SourceLayer, host,
                                       program.settings.values());
        },
        window().protocol(),
        [&](JobHost& host) {
            PictureLayers& layers = area.layers();
            MillJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer,
                           area.analysis(), m_cutter, area.tool()},
                          host, window().protocol());
            // The job's own copy: nothing that happens in the window meanwhile changes its map.
            const std::optional<SurfaceMapPanel::JobSurface> surface =
                m_surface ? m_surface->forJob() : std::nullopt;
            if (surface) jobs.followSurface(&surface->map, surface->startMm);
            job(jobs);
        },
        resume);
}

void MillButtons::Continue_Click() {
    if (!m_started || !m_continue->resumeAt()) return;
    runMillJob(m_started->job, m_started->words, m_continue->resumeAt());
}

void MillButtons::Command2_Click() {
    const std::optional<std::int32_t> figure = workspace().selectedFigure();
    runMillJob([figure](MillJobs& jobs) { jobs.MillSelected(figure); },
               QStringLiteral("mill selected %1").arg(figure.value_or(0)));
}

void MillButtons::Command6_Click() {
    runMillJob([](MillJobs& jobs) { jobs.MillAll(); }, QStringLiteral("mill all"));
}

void MillButtons::Command7_Click() {
    runMillJob([](MillJobs& jobs) { jobs.Cut3D(); }, QStringLiteral("mill 3d"));
}
