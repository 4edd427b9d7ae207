#include "mill/MillJobs.h"

#include "app/config/NumberText.h"
#include "figures/FigureAnalysis.h"
#include "figures/FigureGuards.h"
#include "mill/WorkLayerOps.h"

MillJobs::MillJobs(MillWorkspace workspace, JobHost& host, MoveProtocol& protocol)
    : m_workspace(workspace),
      m_host(host),
      m_protocol(protocol),
      m_policy(workspace.cutter, workspace.tool, protocol),
      m_tracer(workspace.analysis, workspace.tool, host, protocol, m_policy) {}

void MillJobs::refuse(const QString& message, std::optional<JobField> field) const {
    throw JobEnded(JobEnded::Reason::Refused, kErrorTitle, message, field);
}

void MillJobs::requireTree() const {
    if (!m_workspace.analysis.hasTree()) refuse(notParsedMessage());
}

void MillJobs::readCutterSize() {
    const CutterSizeResult size =
        cutterSize(m_host.fieldText(JobField::Diameter), m_host.fieldText(JobField::FinishedWidth),
                   m_workspace.source.width, m_workspace.source.height);
    if (!size.size) refuse(size.error, size.field);
    // "Градиент" and "Отступить" take a cutter of 0 (they then change nothing), a job does not:
    // its path would run along the figures' edges as if the cutter had no width.
    if (*parseNumber(m_host.fieldText(JobField::Diameter)) <= 0) {
        refuse(QStringLiteral("Диаметр фрезы (поле «Диаметр, мм») должен быть больше нуля."),
               JobField::Diameter);
    }
    m_workspace.cutterSize = *size.size;
    m_policy.setDisc(DiscChords(m_workspace.cutterSize.radius, m_workspace.cutterSize.reach));
}

void MillJobs::checkDepthField() const {
    const std::optional<double> depth = parseNumber(m_host.fieldText(JobField::Depth));
    if (!depth) refuse(QStringLiteral("Введите число в поле «Глубина»."), JobField::Depth);
    // A depth of zero cuts nothing; a negative one turns every plunge into a rise.
    if (*depth <= 0) {
        refuse(QStringLiteral("Глубина фрезерования (поле «Глубина») должна быть больше нуля."),
               JobField::Depth);
    }
}

void MillJobs::followSurface(const SurfaceMap* map, QPointF startMm) {
    m_surfaceMap = map && !map->isEmpty() ? map : nullptr;
    m_surfaceStart = startMm;
}

void MillJobs::prepareSurface() {
    m_policy.followSurface(nullptr, nullptr);
    m_follower = surfaceFollowerFor(m_surfaceMap, m_surfaceStart, m_protocol);
    if (m_follower) m_policy.followSurface(&*m_follower, &m_workspace.tool);
}

void MillJobs::noteLeftMap() {
    if (m_follower && m_follower->leftMap()) m_tracer.addNote(leftMapNote());
}

void MillJobs::prepareTracing() {
    m_protocol.setPictureWidth(m_workspace.source.width);
    prepareSurface();
    m_tracer.findBorderStarts();
}

void MillJobs::MillSelected(std::optional<std::int32_t> selected) {
    m_tracer.clearReport();
    requireTree();
    if (!selected) refuse(noFigureSelectedMessage());
    readCutterSize();
    checkDepthField();
    prepareTracing();
    m_tracer.traceSelectedFigure(*selected);
    noteLeftMap();
    m_tracer.showNotes();
}

void MillJobs::MillAll() {
    m_tracer.clearReport();
    requireTree();
    if (const QString why = nothingLeftReason(m_workspace.analysis); !why.isEmpty()) {
        throw JobEnded(JobEnded::Reason::Refused, kAttentionTitle,
                       QStringLiteral("Нечего фрезеровать: ") + why);
    }
    readCutterSize();
    checkDepthField();
    prepareTracing();
    m_tracer.planSteps(m_tracer.darkFigureSteps());
    m_tracer.traceDarkFigures(QString());
    noteLeftMap();
    m_tracer.showNotes();
}

void MillJobs::Cut3D() {
    m_tracer.clearReport();
    requireTree();
    readCutterSize();
    checkDepthField();
    const WorkLayerOutcome gradient = markGradientFromFields(
        m_host.fieldText(JobField::Diameter), m_host.fieldText(JobField::FinishedWidth),
        m_workspace.source, m_workspace.work, m_workspace.analysis, m_workspace.cutterSize);
    if (gradient.refused()) refuse(gradient.error);
    ParseFigures(m_workspace.work, m_workspace.analysis);
    m_host.figuresChanged();
    m_host.redraw(QRect());
    m_protocol.setPictureWidth(m_workspace.source.width);
    prepareSurface();
    traceRings(
        m_tracer, m_workspace.work, m_workspace.analysis, m_host,
        [this](PixelBuffer& work, FigureAnalysis& analysis) {
            const WorkLayerOutcome offset =
                offsetFiguresFromFields(m_host.fieldText(JobField::Diameter),
                                        m_host.fieldText(JobField::FinishedWidth), work, analysis);
            if (offset.refused()) refuse(offset.error);
            return offset.changed;
        },
        [](int ring) {
            return QStringLiteral(
                       "Оставшиеся фигуры нельзя уменьшить дальше: отступ больше ничего не "
                       "меняет. Резка остановлена после кольца %1.")
                .arg(ring);
        });
    noteLeftMap();
    m_tracer.showNotes();
}
