#include "mill/BorderTracer.h"

#include <algorithm>

#include "figures/FigureAnalysis.h"
#include "mill/BorderRun.h"

namespace {

// A figure that the all-figures jobs trace: dark, in use and not traced since the last parse.
bool waitsForTool(const FigureRecord& record) {
    return record.State > kFreeSlot && record.State < kFinished && record.Color == kDark;
}

}  // namespace

BorderTracer::BorderTracer(FigureAnalysis& analysis, ToolPosition& tool, JobHost& host,
                           MoveProtocol& protocol, TracePolicy& policy)
    : m_analysis(analysis), m_tool(tool), m_host(host), m_protocol(protocol), m_policy(policy) {}

void BorderTracer::clearReport() {
    m_notes.clear();
    m_linesAtStart = m_protocol.linesSent();
}

void BorderTracer::planSteps(std::int64_t totalSteps) {
    m_stepsAtPlan = m_steps;
    m_plannedSteps = totalSteps;
}

std::int64_t BorderTracer::darkFigureSteps() {
    if (!m_starts) findBorderStarts();
    return ::darkFigureSteps(m_analysis, *m_starts);
}

QString BorderTracer::doneText() const {
    QString text = QStringLiteral("готово, шагов: %1").arg(m_steps);
    if (m_protocol.linesSent() == m_linesAtStart) {
        text += QStringLiteral(" — сухой прогон, на станок ничего не отправлено");
    }
    return text;
}

void BorderTracer::findBorderStarts() {
    m_borderOpen = false;
    m_figuresDone = 0;
    m_figuresTotal = 0;
    m_starts.emplace(m_analysis.labels);
}

void BorderTracer::traceSelectedFigure(std::int32_t figure) {
    m_tool.ToolX = 1;
    m_tool.ToolY = 1;
    m_figuresDone = 0;
    m_figuresTotal = 1;
    m_figureText = QStringLiteral("фигура %1").arg(figure);
    if (!m_starts) findBorderStarts();
    planSteps(figureSteps(m_analysis, *m_starts, figure));
    TraceFigure(figure);
    m_figuresDone = 1;
    report(doneText());
}

void BorderTracer::showNotes() {
    if (!m_notes.isEmpty()) m_host.showMessage(kAttentionTitle, m_notes.join("\r\n"));
}

void BorderTracer::report(const QString& what) {
    m_host.reportProgress({m_steps - m_stepsAtPlan, m_plannedSteps, what});
}

void BorderTracer::stopIfAsked() {
    if (m_host.stopLevel() == StopLevel::None) return;
    const bool open = m_borderOpen;
    m_borderOpen = false;
    {
        MoveProtocol::SafeEnding ending(m_protocol);
        m_policy.leaveSafe(open);
    }
    throw JobEnded(JobEnded::Reason::Stopped, kStopTitle,
                   m_policy.stoppedMessage({m_tool.ToolX, m_tool.ToolY}));
}

void BorderTracer::TraceFigure(std::int32_t figure) {
    if (!m_starts) findBorderStarts();
    m_protocol.beginSection(figure);
    m_policy.beginFigure();
    for (std::int32_t k = 1; k <= m_analysis.pairCount; ++k) {
        const NestingPair& pair = m_analysis.pairs[std::size_t(k) - 1];
        if (pair.Outer != figure) continue;
        if (const auto start = m_starts->aroundChild(figure, pair.Inner)) {
            traceBorder(figure, pair.Inner, *start);
        }
    }
    if (const auto start = m_starts->outer(figure)) traceBorder(figure, 0, *start);
}

std::vector<std::int32_t> darkFiguresDeepestFirst(const FigureAnalysis& analysis) {
    auto eligible = [&](std::int32_t figure) {
        const FigureRecord* record = analysis.figure(figure);
        return record && waitsForTool(*record);
    };
    // The literal order is one scan of the grid per depth, deepest first; the scan order of the
    // figures' first cells, grouped by depth, is the same order at the cost of one scan.
    std::vector<std::int32_t> order = figuresInScanOrder(analysis.labels);
    std::erase_if(order, [&](std::int32_t figure) { return !eligible(figure); });
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return analysis.figure(a)->Depth > analysis.figure(b)->Depth;
    });
    return order;
}

std::int64_t figureSteps(const FigureAnalysis& analysis, const BorderStarts& starts,
                         std::int32_t figure) {
    std::int64_t steps = 0;
    for (std::int32_t k = 1; k <= analysis.pairCount; ++k) {
        const NestingPair& pair = analysis.pairs[std::size_t(k) - 1];
        if (pair.Outer != figure) continue;
        if (const auto start = starts.aroundChild(figure, pair.Inner))
            steps += borderSteps(analysis.labels, figure, pair.Inner, *start);
    }
    if (const auto start = starts.outer(figure))
        steps += borderSteps(analysis.labels, figure, 0, *start);
    return steps;
}

std::int64_t darkFigureSteps(const FigureAnalysis& analysis, const BorderStarts& starts) {
    std::int64_t steps = 0;
    for (const std::int32_t figure : darkFiguresDeepestFirst(analysis))
        steps += figureSteps(analysis, starts, figure);
    return steps;
}

QString nothingLeftReason(const FigureAnalysis& analysis) {
    const std::vector<FigureRecord>& figures = analysis.figures;
    if (std::any_of(figures.begin(), figures.end(), waitsForTool)) return {};
    // A tree always holds a dark figure (light figures only border dark ones), so with figures
    // in use and none waiting, the last run traced them all.
    const auto inUse = [](const FigureRecord& record) { return record.State != kFreeSlot; };
    return std::any_of(figures.begin(), figures.end(), inUse)
               ? QStringLiteral("все фигуры уже обработаны — нажмите «Разобрать».")
               : QStringLiteral(
                     "после «Градиент» или «Отступить» фигуры надо разобрать заново — нажмите "
                     "«Разобрать».");
}

void BorderTracer::traceDarkFigures(const QString& ring) {
    const std::vector<std::int32_t> order = darkFiguresDeepestFirst(m_analysis);
    m_figuresDone = 0;
    m_figuresTotal = std::int64_t(order.size());
    for (const std::int32_t figure : order) {
        m_figureText =
            ring + QStringLiteral("фигура %1 из %2").arg(m_figuresDone + 1).arg(m_figuresTotal);
        TraceFigure(figure);
        m_analysis.figure(figure)->State = kFinished;
        ++m_figuresDone;
    }
    report(ring + doneText());
}

void BorderTracer::traceBorder(std::int32_t figure, std::int32_t child, QPoint start) {
    stopIfAsked();
    m_policy.travel(start.x() - m_tool.ToolX, start.y() - m_tool.ToolY);
    m_tool.ToolX = start.x();
    m_tool.ToolY = start.y();
    stopIfAsked();
    m_policy.openBorder(start);
    m_borderOpen = true;

    try {
        walkBorder(figure, child, start);
    } catch (const JobEnded& ended) {
        // A step refused (a field edited into something that is not a number) must not leave
        // the laser on or the cutter in the material; what else went wrong stays as it is.
        if (ended.reason() == JobEnded::Reason::Refused && m_borderOpen) {
            m_borderOpen = false;
            try {
                MoveProtocol::SafeEnding ending(m_protocol);
                m_policy.leaveSafe(true);
            } catch (const JobEnded&) {
            }
        }
        throw;
    }
    m_policy.closeBorder();
    m_borderOpen = false;
}

void BorderTracer::walkBorder(std::int32_t figure, std::int32_t child, QPoint start) {
    BorderRun run(m_analysis.labels, figure, child, start);
    while (!run.ended()) {
        stopIfAsked();
        const QPoint step = run.step();
        m_tool.ToolX += step.x();
        m_tool.ToolY += step.y();
        m_policy.beforeStep();
        const int z = m_policy.stepZ(run.position());
        if (m_host.outputEnabled()) {
            const QPoint to = run.position();
            m_protocol.MovePixels(step.x(), step.y(), z, true,
                                  m_policy.surfaceChange(to - step, to));
        } else {
            m_host.sleepMs(1);
        }
        m_host.redraw(m_policy.paintMark(run.position()));
        m_host.letEventsRun();
        ++m_steps;
        if ((m_steps & 63) == 0) report(m_figureText + QStringLiteral(", шаг %1").arg(m_steps));
    }
    if (run.looped()) {
        m_notes << QStringLiteral(
                       "Граница фигуры %1 не замкнулась: обход остановлен в точке "
                       "(%2, %3).")
                       .arg(figure)
                       .arg(m_tool.ToolX)
                       .arg(m_tool.ToolY);
    }
}

void traceRings(BorderTracer& tracer, PixelBuffer& work, FigureAnalysis& analysis, JobHost& host,
                const RingShrink& shrink, const std::function<QString(int ring)>& stuckNote) {
    tracer.planSteps(ringSteps(work, analysis, shrink));
    int ring = 0;
    while (analysis.hasTree()) {
        ++ring;
        tracer.findBorderStarts();
        tracer.traceDarkFigures(QStringLiteral("кольцо %1, ").arg(ring));
        const bool changed = shrink(work, analysis);
        ParseFigures(work, analysis);
        host.figuresChanged();
        host.redraw(QRect());
        if (!changed) {
            tracer.addNote(stuckNote(ring));
            break;
        }
    }
}

std::int64_t ringSteps(const PixelBuffer& work, const FigureAnalysis& analysis,
                       const RingShrink& shrink) {
    PixelBuffer ringWork = work;
    FigureAnalysis ringAnalysis = analysis;
    std::int64_t steps = 0;
    while (ringAnalysis.hasTree()) {
        steps += darkFigureSteps(ringAnalysis, BorderStarts(ringAnalysis.labels));
        const bool changed = shrink(ringWork, ringAnalysis);
        ParseFigures(ringWork, ringAnalysis);
        if (!changed) break;
    }
    return steps;
}
