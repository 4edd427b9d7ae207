#include "outline/ui/OutlineButtons.h"

#include <QGridLayout>
#include <QPushButton>

#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/WindowJobHost.h"
#include "mill/WorkLayerOps.h"

OutlineButtons::OutlineButtons(FigureWindow& window)
    : FigureJobButtons(
          window, {{{QStringLiteral("Градиент"), QString()},
                    {QStringLiteral("Отступить"), QString()},
                    {QStringLiteral("Выделенная"), QStringLiteral("Гравирует выделенную фигуру")},
                    {QStringLiteral("Все"), QStringLiteral("Гравирует границы всех фигур")},
                    {QStringLiteral("Грав-ть всё"),
                     QStringLiteral("Гравирует все фигуры с заполнением")}}}),
      m_continue(new JobContinuation(window.host(), window.program(), this)) {
    connect(m_continue, &JobContinuation::continueClicked, this, &OutlineButtons::Continue_Click);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_continue->button(), 3, 0, 1, 2);
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
                                   std::optional<ResumeStart> resume) {
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
    const PixelBuffer& source = m_started->layers.SourceLayer;
    m_continue->run(
        [&](const JobHost& host) {
            const JournalPicture picture{path, source.width, source.height,
                                         pixelHash(source.bytes.data(), source.bytes.size())};
            return journalIdentity(QStringLiteral("outline"), words, picture,
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
            job(jobs);
        },
        resume);
}

void OutlineButtons::Continue_Click() {
    if (!m_started || !m_continue->resumeAt()) return;
    runOutlineJob(m_started->job, m_started->words, m_continue->resumeAt());
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
