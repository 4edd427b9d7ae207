#include "mill/ui/MillButtons.h"

#include <QCryptographicHash>
#include <QGridLayout>
#include <QPushButton>

#include "app/config/Config.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/WindowJobHost.h"
#include "mill/FigureJobJournal.h"
#include "mill/WorkLayerOps.h"
#include "mill/ui/SurfaceMapPanel.h"

namespace {

// The milling window's fields that shape a job's lines, for its journal: the sizes and the
// surface the job follows.
QList<JournalEntry> millJournalFields(const std::optional<SurfaceMapPanel::JobSurface>& surface,
                                      const JobHost& host) {
    QList<JournalEntry> fields = {
        {QStringLiteral("width"), QStringLiteral("ширина"),
         host.fieldText(JobField::FinishedWidth)},
        {QStringLiteral("depth"), QStringLiteral("глубина"), host.fieldText(JobField::Depth)},
        {QStringLiteral("diameter"), QStringLiteral("диаметр фрезы"),
         host.fieldText(JobField::Diameter)}};
    if (surface) {
        const SurfaceMap& map = surface->map;
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(map.heights.data()),
                                    qsizetype(map.heights.size() * sizeof(double))));
        fields << JournalEntry{QStringLiteral("surface"), QStringLiteral("карта высот"),
                               QStringLiteral("%1 %2 %3 %4")
                                   .arg(map.description(), formatGeneral(map.spacingX),
                                        formatGeneral(map.spacingY),
                                        QString::fromLatin1(hash.result().toHex().left(16)))}
               << JournalEntry{QStringLiteral("surface_offset"), QStringLiteral("начало на карте"),
                               formatGeneral(surface->startMm.x()) + u',' +
                                   formatGeneral(surface->startMm.y())};
    }
    return fields;
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
      m_continue(new JobContinuation(
          window.host(), window.program(),
          {{QStringLiteral("Все")},
           QStringLiteral("Номер фигуры в дереве:"),
           [this] { return largestFigure(workspace().analysis()); },
           QStringLiteral("Начать не с чего: сначала разберите картинку кнопкой «Разобрать».")},
          this)) {
    connect(m_continue, &JobContinuation::continueClicked, this, &MillButtons::Continue_Click);
    connect(m_continue, &JobContinuation::startFromChosen, this,
            [this](int, qint64 figure) { StartFrom_Click(figure); });
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(m_continue->button(), 3, 0);
        grid->addWidget(m_continue->startFromButton(), 3, 1);
    }
}

void MillButtons::offerJournal(const JobJournalRecord& journal) {
    WindowJobHost& host = window().host();
    host.setFieldText(JobField::FinishedWidth, journal.value(QStringLiteral("width")));
    host.setFieldText(JobField::Depth, journal.value(QStringLiteral("depth")));
    host.setFieldText(JobField::Diameter, journal.value(QStringLiteral("diameter")));
    m_started.reset();
    m_continue->offer(journal);
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

void MillButtons::runMillJob(MillJob job, const QString& words, const WindowJobStart& start) {
    FigureWorkspace& area = workspace();
    if (start.from == WindowJobStart::From::Journal && m_started && m_started->words == words) {
        // Going on in the same session: the job starts again from what it started from.
        restoreJobStart(m_started->from);
    } else {
        m_started = JobStart{job, words, jobStartNow()};
    }
    ProgramContext& program = window().program();
    const QString path = area.picturePath();
    std::optional<SurfaceMapPanel::JobSurface> surface;
    m_continue->run(
        [&](const JobHost& host) {
            // The job's own copy: nothing that happens in the window meanwhile changes its map.
            surface = m_surface ? m_surface->forJob() : std::nullopt;
            return figureJobIdentity(QStringLiteral("mill"), words, path, m_started->from,
                                     millJournalFields(surface, host), program.settings.values());
        },
        window().protocol(),
        [&](JobHost& host) {
            PictureLayers& layers = area.layers();
            MillJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer,
                           area.analysis(), m_cutter, area.tool()},
                          host, window().protocol());
            if (surface) jobs.followSurface(&surface->map, surface->startMm);
            m_started->job(jobs);
        },
        start);
}

std::optional<MillButtons::MillJob> MillButtons::jobOfWords(const QString& words) {
    if (words == u"mill all") return [](MillJobs& jobs) { jobs.MillAll(); };
    if (words == u"mill 3d") return [](MillJobs& jobs) { jobs.Cut3D(); };
    const std::optional<std::int32_t> figure = selectedFigureOfWords(words, QStringLiteral("mill"));
    if (!figure) return std::nullopt;
    return [figure = *figure](MillJobs& jobs) {
        jobs.MillSelected(figure > 0 ? std::optional<std::int32_t>(figure) : std::nullopt);
    };
}

void MillButtons::Continue_Click() {
    const QString words = m_continue->continuedJob();  // a copy: the run clears it
    if (const std::optional<MillJob> job = jobOfWords(words))
        runMillJob(*job, words, WindowJobStart::journal());
}

void MillButtons::StartFrom_Click(qint64 figure) {
    runMillJob([](MillJobs& jobs) { jobs.MillAll(); }, QStringLiteral("mill all"),
               WindowJobStart::fromSection(startFromSection(figure)));
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
