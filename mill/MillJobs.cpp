#include "mill/MillJobs.h"

#include <algorithm>
#include <unordered_set>

#include "app/NumberText.h"
#include "figures/FigureAnalysis.h"
#include "figures/FigureGuards.h"
#include "mill/BorderWalk.h"
#include "mill/WorkLayerOps.h"

namespace {

const QString kErrorTitle = QStringLiteral("Ошибка");

// A walk state (position and heading) packed for the set that detects a trace going round in
// circles. Positions stay within one pixel of the picture, so 28 bits each are plenty.
std::uint64_t walkState(QPoint position, QPoint direction) {
    const auto x = std::uint64_t(std::uint32_t(position.x() + 2)) & 0xFFFFFFF;
    const auto y = std::uint64_t(std::uint32_t(position.y() + 2)) & 0xFFFFFFF;
    const auto d = std::uint64_t((direction.x() + 1) * 3 + (direction.y() + 1));
    return (x << 36) | (y << 8) | d;
}

// A figure that "Все" cuts: dark, in use and not cut since the last parse.
bool waitsForCutter(const FigureRecord& record) {
    return record.State > kFreeSlot && record.State < kFinished && record.Color == kDark;
}

}  // namespace

MillJobs::MillJobs(MillWorkspace workspace, JobHost& host, MoveProtocol& protocol)
    : m_ws(workspace), m_host(host), m_protocol(protocol) {}

void MillJobs::refuse(const QString& message, std::optional<JobField> field) const {
    throw JobEnded(JobEnded::Reason::Refused, kErrorTitle, message, field);
}

void MillJobs::requireTree() const {
    if (!m_ws.analysis.hasTree()) refuse(notParsedMessage());
}

void MillJobs::readCutterSize() {
    const CutterSizeResult size =
        cutterSize(m_host.fieldText(JobField::Diameter), m_host.fieldText(JobField::FinishedWidth),
                   m_ws.source.width, m_ws.source.height);
    if (!size.size) refuse(size.error, size.field);
    m_ws.cutterSize = *size.size;
    m_disc = DiscChords(m_ws.cutterSize.radius, m_ws.cutterSize.reach);
}

void MillJobs::checkDepthField() const {
    if (!parseNumber(m_host.fieldText(JobField::Depth))) {
        refuse(QStringLiteral("Введите число в поле «Глубина»."), JobField::Depth);
    }
}

void MillJobs::beginJob() {
    m_plunged = false;
    m_figuresDone = 0;
    m_figuresTotal = 0;
    m_protocol.setPictureWidth(m_ws.source.width);
    m_marks.emplace(m_ws.cutter);
    m_starts.emplace(m_ws.analysis.labels);
}

void MillJobs::startCounting() {
    m_notes.clear();
    m_linesAtStart = m_protocol.linesSent();
}

QString MillJobs::doneText() const {
    QString text = QStringLiteral("готово, шагов: %1").arg(m_steps);
    if (m_protocol.linesSent() == m_linesAtStart) {
        text += QStringLiteral(" — сухой прогон, на станок ничего не отправлено");
    }
    return text;
}

void MillJobs::report(const QString& what) {
    m_host.reportProgress({m_figuresDone, m_figuresTotal, what});
}

void MillJobs::stopIfAsked() {
    if (m_host.stopLevel() == StopLevel::None) return;
    if (m_plunged) {
        m_protocol.MovePixels(0, 0, m_ws.tool.ToolLevel, true);
        m_plunged = false;
        m_ws.tool.ToolLevel = 0;
    }
    throw JobEnded(JobEnded::Reason::Stopped, QStringLiteral("Стоп"),
                   QStringLiteral("Работа остановлена. Фреза поднята к поверхности над точкой "
                                  "(%1, %2) картинки.")
                       .arg(m_ws.tool.ToolX)
                       .arg(m_ws.tool.ToolY));
}

void MillJobs::MillSelected(std::optional<std::int32_t> selected) {
    startCounting();
    requireTree();
    if (!selected) refuse(noFigureSelectedMessage());
    readCutterSize();
    checkDepthField();
    beginJob();
    m_figuresTotal = 1;
    m_ws.tool.ToolX = 1;
    m_ws.tool.ToolY = 1;
    m_figureText = QStringLiteral("фигура %1").arg(*selected);
    TraceFigure(*selected);
    m_figuresDone = 1;
    report(doneText());
    showNotes();
}

void MillJobs::MillAll() {
    startCounting();
    requireTree();
    requireFigureLeft();
    readCutterSize();
    checkDepthField();
    beginJob();
    millAllFigures(QString());
    showNotes();
}

void MillJobs::showNotes() {
    if (!m_notes.isEmpty()) m_host.showMessage(QStringLiteral("Внимание"), m_notes.join("\r\n"));
}

void MillJobs::requireFigureLeft() const {
    const std::vector<FigureRecord>& figures = m_ws.analysis.figures;
    if (std::any_of(figures.begin(), figures.end(), waitsForCutter)) return;
    // A tree always holds a dark figure (light figures only border dark ones), so with figures
    // in use and none waiting, the last "Все" cut them all.
    const auto inUse = [](const FigureRecord& record) { return record.State != kFreeSlot; };
    const QString why = std::any_of(figures.begin(), figures.end(), inUse)
                            ? QStringLiteral("все фигуры уже обработаны — нажмите «Разобрать».")
                            : QStringLiteral(
                                  "после «Градиент» или «Отступить» фигуры надо разобрать заново — "
                                  "нажмите «Разобрать».");
    throw JobEnded(JobEnded::Reason::Refused, QStringLiteral("Внимание"),
                   QStringLiteral("Нечего фрезеровать: ") + why);
}

void MillJobs::millAllFigures(const QString& ring) {
    const FigureAnalysis& analysis = m_ws.analysis;
    auto eligible = [&](std::int32_t figure) {
        const FigureRecord* record = analysis.figure(figure);
        return record && waitsForCutter(*record);
    };
    // The literal order is one scan of the grid per depth, deepest first; the scan order of the
    // figures' first cells, grouped by depth, is the same order at the cost of one scan.
    std::vector<std::int32_t> order = figuresInScanOrder(analysis.labels);
    std::erase_if(order, [&](std::int32_t figure) { return !eligible(figure); });
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return analysis.figure(a)->Depth > analysis.figure(b)->Depth;
    });
    m_figuresDone = 0;
    m_figuresTotal = std::int64_t(order.size());
    for (const std::int32_t figure : order) {
        m_figureText =
            ring + QStringLiteral("фигура %1 из %2").arg(m_figuresDone + 1).arg(m_figuresTotal);
        TraceFigure(figure);
        m_ws.analysis.figure(figure)->State = kFinished;
        ++m_figuresDone;
    }
    report(ring + doneText());
}

void MillJobs::Cut3D() {
    startCounting();
    requireTree();
    readCutterSize();
    checkDepthField();
    const WorkLayerOutcome gradient = markGradientFromFields(
        m_host.fieldText(JobField::Diameter), m_host.fieldText(JobField::FinishedWidth),
        m_ws.source, m_ws.work, m_ws.analysis, m_ws.cutterSize);
    if (gradient.refused()) refuse(gradient.error);
    ParseFigures(m_ws.work, m_ws.analysis);
    m_host.figuresChanged();
    m_host.redraw(QRect());
    int ring = 0;
    while (m_ws.analysis.hasTree()) {
        ++ring;
        beginJob();
        millAllFigures(QStringLiteral("кольцо %1, ").arg(ring));
        const WorkLayerOutcome offset = offsetFiguresFromFields(
            m_host.fieldText(JobField::Diameter), m_host.fieldText(JobField::FinishedWidth),
            m_ws.work, m_ws.analysis);
        if (offset.refused()) refuse(offset.error);
        if (!offset.changed) {
            // Nothing shrank: the next ring would be this one again, for ever.
            m_notes
                << QStringLiteral(
                       "Оставшиеся фигуры нельзя уменьшить дальше: отступ больше ничего не меняет. "
                       "Резка остановлена после кольца %1.")
                       .arg(ring);
            ParseFigures(m_ws.work, m_ws.analysis);
            m_host.figuresChanged();
            m_host.redraw(QRect());
            break;
        }
        ParseFigures(m_ws.work, m_ws.analysis);
        m_host.figuresChanged();
        m_host.redraw(QRect());
    }
    showNotes();
}

void MillJobs::TraceFigure(std::int32_t figure) {
    if (!m_marks) beginJob();
    m_marks->beginFigure();
    const FigureAnalysis& analysis = m_ws.analysis;
    for (std::int32_t k = 1; k <= analysis.pairCount; ++k) {
        const NestingPair& pair = analysis.pairs[std::size_t(k) - 1];
        if (pair.Outer != figure) continue;
        if (const auto start = m_starts->aroundChild(figure, pair.Inner)) {
            traceBorder(figure, pair.Inner, *start);
        }
    }
    if (const auto start = m_starts->outer(figure)) traceBorder(figure, 0, *start);
}

void MillJobs::traceBorder(std::int32_t figure, std::int32_t child, QPoint start) {
    ToolPosition& tool = m_ws.tool;
    stopIfAsked();
    const int startLevel = m_marks->level(start);
    m_protocol.MovePixels(start.x() - tool.ToolX, start.y() - tool.ToolY, 0, true);
    tool.ToolX = start.x();
    tool.ToolY = start.y();
    stopIfAsked();
    m_protocol.MovePixels(0, 0, -startLevel, true);
    m_plunged = true;
    tool.ToolLevel = startLevel;

    BorderWalk walk(m_ws.analysis.labels, figure, start, child != 0 ? -1 : 1, 0);
    std::unordered_set<std::uint64_t> seen;
    for (;;) {
        stopIfAsked();
        const QPoint step = walk.step();
        tool.ToolX += step.x();
        tool.ToolY += step.y();
        const int level = m_marks->level(walk.position());
        const int difference = level - tool.ToolLevel;
        tool.ToolLevel = level;
        if (m_host.outputEnabled()) {
            m_protocol.MovePixels(step.x(), step.y(), -difference, true);
        } else {
            m_host.sleepMs(1);
        }
        m_host.redraw(m_marks->paint(walk.position(), m_disc));
        m_host.letEventsRun();
        ++m_steps;
        if ((m_steps & 63) == 0) report(m_figureText + QStringLiteral(", шаг %1").arg(m_steps));
        if (walk.closed()) break;
        if (!seen.insert(walkState(walk.position(), walk.direction())).second) {
            m_notes << QStringLiteral(
                           "Граница фигуры %1 не замкнулась: обход остановлен в точке "
                           "(%2, %3).")
                           .arg(figure)
                           .arg(tool.ToolX)
                           .arg(tool.ToolY);
            break;
        }
    }
    m_protocol.MovePixels(0, 0, tool.ToolLevel, true);
    m_plunged = false;
}
