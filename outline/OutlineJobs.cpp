#include "outline/OutlineJobs.h"

#include "app/config/NumberText.h"
#include "figures/FigureAnalysis.h"
#include "figures/FigureGuards.h"
#include "mill/WorkLayerOps.h"

namespace {

// Each ring lies this many one-pixel offsets inside the previous one.
constexpr int kOffsetsPerRing = 4;

}  // namespace

OutlineJobs::OutlineJobs(OutlineWorkspace workspace, JobHost& host, MoveProtocol& protocol)
    : m_workspace(workspace),
      m_host(host),
      m_protocol(protocol),
      m_policy(workspace.laser, host, protocol),
      m_tracer(workspace.analysis, workspace.tool, host, protocol, m_policy) {}

void OutlineJobs::refuse(const QString& message, std::optional<JobField> field) const {
    throw JobEnded(JobEnded::Reason::Refused, kErrorTitle, message, field);
}

void OutlineJobs::requireTree() const {
    if (!m_workspace.analysis.hasTree()) refuse(notParsedMessage());
}

void OutlineJobs::prepareTracing() {
    // The width scales every move; checked here so that a bad one refuses before anything moves.
    const std::optional<double> width = parseNumber(m_host.fieldText(JobField::FinishedWidth));
    if (!width) refuse(QStringLiteral("Введите число в поле «Ширина»."), JobField::FinishedWidth);
    if (*width <= 0) {
        refuse(QStringLiteral("Ширина готового изображения должна быть больше нуля."),
               JobField::FinishedWidth);
    }
    m_protocol.setPictureWidth(m_workspace.source.width);
    m_policy.followSurface(nullptr, nullptr);
    m_follower.reset();
    if (m_protocol.portSpeaksGcode())
        m_follower = surfaceFollowerFor(m_surfaceMap, m_surfaceStart, m_protocol);
    if (m_follower) m_policy.followSurface(&*m_follower, &m_workspace.tool);
    m_tracer.findBorderStarts();
    // Each job draws on the picture alone, so that only what it burns shows red.
    m_workspace.laser = m_workspace.source;
    m_host.redraw(QRect());
}

void OutlineJobs::showNotes() {
    if (m_follower && m_follower->leftMap()) m_tracer.addNote(leftMapNote());
    m_tracer.showNotes();
}

void OutlineJobs::EngraveSelected(std::optional<std::int32_t> selected) {
    m_tracer.clearReport();
    requireTree();
    if (!selected) refuse(noFigureSelectedMessage());
    prepareTracing();
    m_tracer.traceSelectedFigure(*selected);
    showNotes();
}

void OutlineJobs::EngraveAllBorders() {
    m_tracer.clearReport();
    requireTree();
    if (const QString why = nothingLeftReason(m_workspace.analysis); !why.isEmpty()) {
        throw JobEnded(JobEnded::Reason::Refused, kAttentionTitle,
                       QStringLiteral("Нечего гравировать: ") + why);
    }
    prepareTracing();
    m_tracer.planSteps(m_tracer.darkFigureSteps());
    m_tracer.traceDarkFigures(QString());
    showNotes();
}

void OutlineJobs::EngraveAllFilled() {
    m_tracer.clearReport();
    requireTree();
    prepareTracing();
    markOutlineGradient(m_workspace.source, m_workspace.work, m_workspace.analysis);
    offsetOutlineFigures(m_workspace.work, m_workspace.analysis);
    ParseFigures(m_workspace.work, m_workspace.analysis);
    m_host.figuresChanged();
    m_host.redraw(QRect());
    traceRings(
        m_tracer, m_workspace.work, m_workspace.analysis, m_host,
        [](PixelBuffer& work, FigureAnalysis& analysis) {
            bool changed = false;
            for (int i = 0; i < kOffsetsPerRing; ++i)
                changed = offsetOutlineFigures(work, analysis) || changed;
            return changed;
        },
        [](int ring) {
            return QStringLiteral(
                       "Оставшиеся фигуры нельзя заполнить дальше: отступ больше ничего не "
                       "меняет. Гравировка остановлена после кольца %1.")
                .arg(ring);
        });
    showNotes();
}
