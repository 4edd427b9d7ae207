#include "link/ui/JobBar.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

#include "link/ui/ElidedLabel.h"

namespace {

// QProgressBar counts in int; longer jobs are shown scaled to this many parts.
constexpr std::int64_t kBarParts = std::numeric_limits<int>::max();

}  // namespace

JobBar::JobBar(QWidget* parent)
    : QWidget(parent),
      m_bar(new QProgressBar(this)),
      m_text(new ElidedLabel({}, this)),
      m_times(new ElidedLabel({}, this)),
      m_stop(new QPushButton(QStringLiteral("Стоп"), this)) {
    m_bar->setObjectName(QStringLiteral("JobProgress"));
    m_text->setObjectName(QStringLiteral("JobProgressText"));
    m_times->setObjectName(QStringLiteral("JobTimes"));
    m_stop->setObjectName(QStringLiteral("StopButton"));
    m_stop->setToolTip(
        QStringLiteral("Остановить работу (Esc): станок закончит текущую строку, инструмент "
                       "будет поднят. Повторное нажатие прерывает работу сразу."));
    m_stop->setEnabled(false);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // The bar keeps its place from the start, so that the first job moves nothing; the last
    // report stays readable after the job.
    auto* row = new QHBoxLayout;
    row->addWidget(m_bar, 1);
    row->addWidget(m_stop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(m_text);
    layout->addWidget(m_times);
}

void JobBar::jobStarted() {
    m_bar->setRange(0, 0);
    m_text->setFullText({});
    m_times->setFullText({});
    m_stopping = false;
    m_stop->setEnabled(true);
}

void JobBar::showProgress(const JobProgress& progress, const ProgressTimes& times) {
    if (progress.total > 0) {
        const std::int64_t done = qBound<std::int64_t>(0, progress.done, progress.total);
        if (progress.total <= kBarParts) {
            m_bar->setRange(0, int(progress.total));
            m_bar->setValue(int(done));
        } else {
            m_bar->setRange(0, int(kBarParts));
            m_bar->setValue(int(double(done) / double(progress.total) * double(kBarParts)));
        }
        // The count in the bar, so that the line under it has room for the times.
        m_bar->setFormat(countText(progress));
        m_bar->setTextVisible(true);
    } else {
        m_bar->setRange(0, 0);
        m_bar->setTextVisible(false);
    }
    m_times->setFullText(timesLine(times));
    if (!m_stopping)
        m_text->setFullText(progress.what.isEmpty() ? QString::number(progress.done)
                                                    : progress.what);
}

void JobBar::stopRequested(StopLevel level) {
    m_stopping = level != StopLevel::None;
    if (level == StopLevel::Stop)
        m_text->setFullText(QStringLiteral("Остановка… (ещё раз «Стоп» — прервать сразу)"));
    else if (level == StopLevel::Abandon)
        m_text->setFullText(QStringLiteral("Прерывание…"));
}

void JobBar::jobEnded() {
    if (m_bar->maximum() == 0) {
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
    }
    if (m_stopping) m_text->setFullText(QStringLiteral("Работа остановлена"));
    m_stopping = false;
    m_stop->setEnabled(false);
}

void JobBar::jobEnded(std::int64_t elapsedMs, JobOutcome outcome) {
    m_times->setFullText(endedTimesLine(elapsedMs, outcome));
    jobEnded();
}

QString JobBar::timesText() const {
    return m_times->fullText();
}

QString JobBar::progressText() const {
    return m_text->fullText();
}
