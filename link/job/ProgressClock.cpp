#include "link/job/ProgressClock.h"

#include <algorithm>
#include <cmath>

namespace {

// How far back the time per unit is measured: long enough to smooth the pauses of single
// lines, short enough to follow a change of pace.
constexpr std::int64_t kWindowMs = 20000;
constexpr std::size_t kMaxSamples = 256;

}  // namespace

void ProgressClock::start(std::int64_t nowMs) {
    m_startMs = nowMs;
    m_recent = {{nowMs, 0}};
}

ProgressTimes ProgressClock::report(const JobProgress& progress, std::int64_t nowMs) {
    ProgressTimes times;
    times.elapsedMs = elapsedMs(nowMs);
    if (!m_recent.empty() && progress.done < m_recent.back().done) m_recent.clear();
    // A pause without progress counts in the time per unit: the estimate grows while it lasts.
    if (m_recent.empty() || progress.done != m_recent.back().done)
        m_recent.push_back({nowMs, progress.done});
    while (m_recent.size() > kMaxSamples ||
           (m_recent.size() > 2 && nowMs - m_recent[1].atMs > kWindowMs))
        m_recent.pop_front();
    if (progress.total <= 0 || m_recent.size() < 2) return times;
    const Sample& first = m_recent.front();
    const std::int64_t units = progress.done - first.done;
    const std::int64_t spent = nowMs - first.atMs;
    if (units <= 0 || spent <= 0) return times;
    const std::int64_t remaining = std::max<std::int64_t>(0, progress.total - progress.done);
    times.leftMs = std::int64_t(std::llround(double(spent) / double(units) * double(remaining)));
    return times;
}

std::int64_t ProgressClock::elapsedMs(std::int64_t nowMs) const {
    return std::max<std::int64_t>(0, nowMs - m_startMs);
}

QString formatDuration(std::int64_t milliseconds) {
    const std::int64_t seconds = std::max<std::int64_t>(0, milliseconds) / 1000;
    const std::int64_t hours = seconds / 3600;
    const std::int64_t minutes = seconds / 60 % 60;
    const QString tail = QStringLiteral("%1").arg(seconds % 60, 2, 10, QChar(u'0'));
    if (hours > 0)
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QChar(u'0')).arg(tail);
    return QStringLiteral("%1:%2").arg(minutes).arg(tail);
}

QString timesLine(const ProgressTimes& times) {
    QString line = QStringLiteral("прошло %1").arg(formatDuration(times.elapsedMs));
    if (times.leftMs) line += QStringLiteral(" · осталось ≈ %1").arg(formatDuration(*times.leftMs));
    return line;
}

QString outcomeText(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::Finished:
            return QStringLiteral("работа закончена");
        case JobOutcome::Stopped:
            return QStringLiteral("работа остановлена");
        case JobOutcome::Abandoned:
            return QStringLiteral("работа прервана");
        case JobOutcome::Refused:
            return QStringLiteral("работа не выполнена");
        case JobOutcome::Failed:
            break;
    }
    return QStringLiteral("работа прервана из-за ошибки");
}

QString endedTimesLine(std::int64_t elapsedMs, JobOutcome outcome) {
    return QStringLiteral("прошло %1 · %2").arg(formatDuration(elapsedMs), outcomeText(outcome));
}

QString countText(const JobProgress& progress) {
    return progress.total > 0 ? QStringLiteral("%1 из %2").arg(progress.done).arg(progress.total)
                              : QString::number(progress.done);
}

QString progressLine(const JobProgress& progress, const ProgressTimes& times) {
    QString line = countText(progress) + QStringLiteral(" · ") + timesLine(times);
    if (!progress.what.isEmpty()) line += QStringLiteral(" · ") + progress.what;
    return line;
}
