#include "scanner/ScanSurface.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>

#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/job/DryRunNote.h"
#include "link/protocol/ReplyWait.h"
#include "scanner/ScanOrder.h"

namespace {

constexpr int kDryRunPauseMs = 10;

[[noreturn]] void refuse(const MessageTitle& title, const QString& message) {
    throw JobEnded(JobEnded::Reason::Refused, title, message);
}

[[noreturn]] void refuse(const QString& message) {
    refuse(kErrorTitle, message);
}

double areaSize(const QString& text, const QString& axis) {
    const std::optional<double> size = parseNumber(text);
    if (!size || !(*size > 0)) {
        refuse(QStringLiteral("Область сканирования по %1 должна быть числом больше 0 (мм).")
                   .arg(axis));
    }
    return *size;
}

// Motor steps between neighbouring grid points on one axis.
qint32 gridStep(double area, int points, double ratio, const QString& axis) {
    if (!std::isfinite(ratio) || ratio == 0) {
        refuse(QStringLiteral("Не задан шаг двигателя по оси %1 (мм на шаг). "
                              "Задайте его в окне «Настройка».")
                   .arg(axis));
    }
    const double steps = area / (points - 1) / ratio;
    const std::optional<int> whole = toInt32(steps);
    if (!whole) {
        refuse(QStringLiteral("Шаг сетки по оси %1 слишком велик: %2 шагов не помещается в "
                              "команду станка.")
                   .arg(axis, formatGeneral(steps)));
    }
    return *whole;
}

}  // namespace

ScanGridCheck CheckScanGrid(const QString& meshWidth, const QString& meshHeight) {
    ScanGridCheck check;
    const std::optional<int> width = parseWholeNumber(meshWidth);
    const std::optional<int> height = parseWholeNumber(meshHeight);
    if (!width || *width < 2) {
        check.refusal = QStringLiteral(
            "Размер сетки по X должен быть целым числом точек, не "
            "меньше 2.");
        return check;
    }
    if (*width % 2 != 0) {
        check.title = kScanRefusedTitle;
        check.refusal = QStringLiteral("Размер сетки по X должен быть кратным 4");
        return check;
    }
    if (!height || *height < 2) {
        check.refusal = QStringLiteral(
            "Размер сетки по Y должен быть целым числом точек, не "
            "меньше 2.");
        return check;
    }
    if (*height % 2 != 1) {
        check.title = kScanRefusedTitle;
        check.refusal = QStringLiteral("Размер сетки по Y должен быть нечетным");
        return check;
    }
    if (qint64(*width) * *height > kLargestScan) {
        check.refusal = QStringLiteral("Слишком много точек сетки: %1 × %2, не больше %3.")
                            .arg(*width)
                            .arg(*height)
                            .arg(kLargestScan);
        return check;
    }
    check.meshWidth = *width;
    check.meshHeight = *height;
    return check;
}

void RescaleHeightMap(HeightMap& map) {
    if (map.values.empty()) return;
    const auto [lo, hi] = std::minmax_element(map.values.begin(), map.values.end());
    const double low = *lo;
    const double span = double(*hi) - low;
    for (qint32& value : map.values)
        value = span == 0 ? 0 : qint32(roundHalfEven((value - low) * 255 / span));
}

ScanJob::ScanJob(JobHost& host, MoveProtocol& protocol, ScanPicture& picture, ScanRecord& record)
    : m_host(host), m_protocol(protocol), m_picture(picture), m_record(record) {}

void ScanJob::StepMove(qint32 x, qint32 y, qint32 z, bool wait) {
    if (!m_host.outputEnabled()) return;
    m_protocol.sendLine(-qint64(x), y, -qint64(z), false);
    m_movedX += x;
    m_movedY += y;
    if (wait) WaitForOk();
}

void ScanJob::returnToStart() {
    constexpr qint64 kLongest = std::numeric_limits<qint32>::max();
    while (m_movedX != 0 || m_movedY != 0) {
        const auto x = qint32(std::clamp(-m_movedX, -kLongest, kLongest));
        const auto y = qint32(std::clamp(-m_movedY, -kLongest, kLongest));
        StepMove(x, y, 0, true);
    }
}

bool ScanJob::probeLooksSilent() const {
    const std::vector<qint32>& samples = m_record.samples.values;
    return m_record.live && !samples.empty() &&
           std::adjacent_find(samples.begin(), samples.end(), std::not_equal_to<>()) ==
               samples.end();
}

QString ScanJob::endingNotes(bool silent, bool returned) const {
    QString notes;
    const std::vector<qint32>& samples = m_record.samples.values;
    if (silent) {
        notes += QStringLiteral(
                     "\r\nВсе %1 точек дали одно и то же значение (%2): щуп, возможно, не "
                     "подключён или не касается поверхности. Проверьте щуп и повторите "
                     "сканирование.")
                     .arg(samples.size())
                     .arg(samples.front());
    }
    if (returned) notes += QStringLiteral("\r\nЩуп возвращён в начальную точку.");
    if (m_protocol.linesSent() == m_linesAtStart) notes += QStringLiteral("\r\n") + dryRunNote();
    return notes;
}

void ScanJob::WaitForOk() {
    m_protocol.WaitForOk();
}

qint32 ScanJob::ReadProbe() {
    if (!m_host.outputEnabled()) {
        m_record.live = false;
        return qint32(roundHalfEven(std::generate_canonical<double, 53>(m_random) * 255));
    }
    m_record.live = true;
    return m_protocol.readProbeReply();
}

void ScanJob::ScanSurface(const ScanFieldTexts& fields) {
    const ScanGridCheck grid = CheckScanGrid(fields.meshWidth, fields.meshHeight);
    if (!grid.refusal.isEmpty()) refuse(grid.title, grid.refusal);
    const QSize cell = CellSizeFor(m_picture.size(), grid.meshWidth, grid.meshHeight);
    if (cell.width() < 1 || cell.height() < 1) {
        refuse(QStringLiteral("Картинка слишком мала для сетки %1 × %2 точек: увеличьте размеры "
                              "изображения.")
                   .arg(grid.meshWidth)
                   .arg(grid.meshHeight));
    }
    const double areaWidth = areaSize(fields.areaWidth, QStringLiteral("X"));
    const double areaHeight = areaSize(fields.areaHeight, QStringLiteral("Y"));
    const ProgramSettings& settings = m_protocol.settings();
    const qint32 stepX =
        gridStep(areaWidth, grid.meshWidth, settings.StepRatioX, QStringLiteral("X"));
    const qint32 stepY =
        gridStep(areaHeight, grid.meshHeight, settings.StepRatioY, QStringLiteral("Y"));

    m_record.map = HeightMap::zeros(grid.meshWidth, grid.meshHeight);
    m_record.samples = m_record.map;
    m_record.heightsMm.assign(m_record.map.values.size(), 0);
    m_record.pitchXmm = stepX * settings.StepRatioX;
    m_record.pitchYmm = stepY * settings.StepRatioY;
    m_record.taken = 0;
    m_record.measured = 0;
    m_movedX = m_movedY = 0;
    m_linesAtStart = m_protocol.linesSent();
    m_random.seed(std::uint32_t(std::chrono::system_clock::now().time_since_epoch().count()));

    const qint64 total = qint64(grid.meshWidth) * grid.meshHeight;
    VisitScanGrid(grid.meshWidth, grid.meshHeight, [&](const ScanVisit& visit) {
        if (visit.kind == ScanVisit::Kind::Sample) {
            sample(visit.i, visit.j, grid.meshWidth, grid.meshHeight);
        } else {
            StepMove(visit.di * stepX, visit.dj * stepY, 0, true);
        }
        stopIfAsked(visit.i, visit.j, total);
    });

    if (m_host.outputEnabled()) RescaleHeightMap(m_record.map);
    const bool returned = m_returnToStart && m_host.outputEnabled() && (m_movedX || m_movedY);
    if (returned) returnToStart();
    const bool silent = probeLooksSilent();
    m_host.showMessage(silent ? kScanRefusedTitle : kScanTitle,
                       QStringLiteral("Сканирвание завершено") + endingNotes(silent, returned));
}

void ScanJob::keepEarlierPoints(const ScanRecord& earlier, qint64 count) {
    m_keptCount = count;
    m_keptHeights = earlier.heightsMm;
    m_keptMeasured = earlier.measured >= count;
}

void ScanJob::sample(int i, int j, int meshWidth, int meshHeight) {
    // Each point is a section of the scan, numbered in the order the points are probed.
    m_protocol.beginSection(m_record.taken + 1);
    // StepMove(0, 0, −100, no wait): the line 0,0,100;, which does not move the machine.
    if (m_host.outputEnabled()) m_protocol.sendProbeRequest();
    const qint32 value = ReadProbe();
    m_record.map.at(i, j) = value;
    m_record.samples.at(i, j) = value;
    const std::size_t point = std::size_t(j - 1) * meshWidth + std::size_t(i - 1);
    if (m_host.outputEnabled() && m_record.taken < m_keptCount && point < m_keptHeights.size()) {
        m_record.heightsMm[point] = m_keptHeights[point];
        if (m_keptMeasured) ++m_record.measured;
    } else {
        const std::optional<double> depth =
            m_host.outputEnabled() ? m_protocol.lastProbeDepthMm() : std::nullopt;
        // A G-code port without a contact report (a file) answers for a machine that is not
        // there.
        if (m_host.outputEnabled() && (depth || !m_protocol.portSpeaksGcode())) ++m_record.measured;
        m_record.heightsMm[point] = depth ? -*depth : value * m_protocol.settings().ProbeScaleMm;
    }
    ++m_record.taken;
    if (m_sampleShown) m_sampleShown(value);
    m_host.redraw(m_picture.DrawScanPoint(i, j, value, meshWidth, meshHeight));
    m_host.reportProgress({m_record.taken, qint64(meshWidth) * meshHeight,
                           QStringLiteral("точка (%1, %2)").arg(i).arg(j)});
    if (!m_host.outputEnabled()) {
        // A dry run still lets the window breathe, so that "Стоп" can be pressed.
        m_host.letEventsRun();
        m_host.sleepMs(kDryRunPauseMs);
    }
}

void ScanJob::stopIfAsked(int i, int j, qint64 total) {
    if (m_host.stopLevel() == StopLevel::None) return;
    QString where;
    if (m_record.live) {
        where = QStringLiteral(" Зонд стоит над точкой (%1, %2).").arg(i).arg(j);
    }
    throw JobEnded(JobEnded::Reason::Stopped, kScanTitle,
                   QStringLiteral("Сканирование остановлено: снято %1 точек из %2, они сохранены "
                                  "без пересчёта.")
                           .arg(m_record.taken)
                           .arg(total) +
                       where);
}
