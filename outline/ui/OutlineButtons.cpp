#include "outline/ui/OutlineButtons.h"

#include <QGridLayout>
#include <QPushButton>

#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/WindowJobHost.h"
#include "mill/FigureJobJournal.h"
#include "mill/WorkLayerOps.h"

OutlineButtons::OutlineButtons(FigureWindow& window)
    : FigureJobButtons(
          window, {{{QStringLiteral("Градиент"), QString()},
                    {QStringLiteral("Отступить"), QString()},
                    {QStringLiteral("Выделенная"), QStringLiteral("Гравирует выделенную фигуру")},
                    {QStringLiteral("Все"), QStringLiteral("Гравирует границы всех фигур")},
                    {QStringLiteral("Грав-ть всё"),
                     QStringLiteral("Гравирует все фигуры с заполнением")}}}),
      m_continue(new JobContinuation(
          window.host(), window.program(),
          {{QStringLiteral("Все"), QStringLiteral("Грав-ть всё")},
           QStringLiteral("Номер фигуры в дереве:"),
           [this] { return largestFigure(workspace().analysis()); },
           QStringLiteral("Начать не с чего: сначала разберите картинку кнопкой «Разобрать».")},
          this)) {
    connect(m_continue, &JobContinuation::continueClicked, this, &OutlineButtons::Continue_Click);
    connect(m_continue, &JobContinuation::startFromChosen, this, &OutlineButtons::StartFrom_Click);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(m_continue->button(), 3, 0);
        grid->addWidget(m_continue->startFromButton(), 3, 1);
    }
}

void OutlineButtons::offerJournal(const JobJournalRecord& journal) {
    window().host().setFieldText(JobField::FinishedWidth, journal.value(QStringLiteral("width")));
    m_started.reset();
    m_continue->offer(journal);
}

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

void OutlineButtons::runOutlineJob(OutlineJob job, const QString& words,
                                   const WindowJobStart& start) {
    FigureWorkspace& area = workspace();
    if (start.from == WindowJobStart::From::Journal && m_started && m_started->words == words) {
        // Going on in the same session: the job starts again from what it started from.
        restoreJobStart(m_started->from);
    } else {
        m_started = JobStart{job, words, jobStartNow()};
    }
    ProgramContext& program = window().program();
    const QString path = area.picturePath();
    m_continue->run(
        [&](const JobHost& host) {
            return figureJobIdentity(QStringLiteral("outline"), words, path, m_started->from,
                                     {{QStringLiteral("width"), QStringLiteral("ширина"),
                                       host.fieldText(JobField::FinishedWidth)}},
                                     program.settings.values());
        },
        window().protocol(),
        [&](JobHost& host) {
            PictureLayers& layers = area.layers();
            OutlineJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer,
                              area.analysis(), area.tool()},
                             host, window().protocol());
            m_started->job(jobs);
        },
        start);
}

std::optional<OutlineButtons::OutlineJob> OutlineButtons::jobOfWords(const QString& words) {
    if (words == u"outline all") return [](OutlineJobs& jobs) { jobs.EngraveAllBorders(); };
    if (words == u"outline filled") return [](OutlineJobs& jobs) { jobs.EngraveAllFilled(); };
    const std::optional<std::int32_t> figure =
        selectedFigureOfWords(words, QStringLiteral("outline"));
    if (!figure) return std::nullopt;
    return [figure = *figure](OutlineJobs& jobs) {
        jobs.EngraveSelected(figure > 0 ? std::optional<std::int32_t>(figure) : std::nullopt);
    };
}

void OutlineButtons::Continue_Click() {
    const QString words = m_continue->continuedJob();  // a copy: the run clears it
    if (const std::optional<OutlineJob> job = jobOfWords(words))
        runOutlineJob(*job, words, WindowJobStart::journal());
}

void OutlineButtons::StartFrom_Click(int jobIndex, qint64 figure) {
    const QString words =
        jobIndex == 0 ? QStringLiteral("outline all") : QStringLiteral("outline filled");
    runOutlineJob(*jobOfWords(words), words, WindowJobStart::fromSection(startFromSection(figure)));
}

void OutlineButtons::Command2_Click() {
    const std::optional<std::int32_t> figure = workspace().selectedFigure();
    runOutlineJob([figure](OutlineJobs& jobs) { jobs.EngraveSelected(figure); },
                  QStringLiteral("outline selected %1").arg(figure.value_or(0)));
}

void OutlineButtons::Command6_Click() {
    runOutlineJob([](OutlineJobs& jobs) { jobs.EngraveAllBorders(); },
                  QStringLiteral("outline all"));
}

void OutlineButtons::Command7_Click() {
    runOutlineJob([](OutlineJobs& jobs) { jobs.EngraveAllFilled(); },
                  QStringLiteral("outline filled"));
}
