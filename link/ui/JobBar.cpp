#include "link/ui/JobBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <limits>

namespace {

// QProgressBar counts in int; longer jobs are shown scaled to this many parts.
constexpr std::int64_t kBarParts = std::numeric_limits<int>::max();

}  // namespace

JobBar::JobBar(QWidget* parent)
    : QWidget(parent),
      m_bar(new QProgressBar(this)),
      m_text(new QLabel(this)),
      m_stop(new QPushButton(QStringLiteral("Стоп"), this)) {
    m_bar->setObjectName(QStringLiteral("JobProgress"));
    m_text->setObjectName(QStringLiteral("JobProgressText"));
    m_stop->setObjectName(QStringLiteral("StopButton"));
    m_stop->setToolTip(
        QStringLiteral("Остановить работу (Esc): станок закончит текущую строку, инструмент "
                       "будет поднят. Повторное нажатие прерывает работу сразу."));
    m_stop->setEnabled(false);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setFixedWidth(m_bar->fontMetrics().averageCharWidth() * 22);
    // The bar appears with the first job; the last report stays readable after it.
    m_bar->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_bar);
    layout->addWidget(m_stop);
}

void JobBar::jobStarted() {
    m_bar->show();
    m_bar->setRange(0, 0);
    m_text->clear();
    m_stopping = false;
    m_stop->setEnabled(true);
}

void JobBar::showProgress(const JobProgress& progress) {
    if (progress.total > 0) {
        const std::int64_t done = qBound<std::int64_t>(0, progress.done, progress.total);
        if (progress.total <= kBarParts) {
            m_bar->setRange(0, int(progress.total));
            m_bar->setValue(int(done));
        } else {
            m_bar->setRange(0, int(kBarParts));
            m_bar->setValue(int(double(done) / double(progress.total) * double(kBarParts)));
        }
        m_bar->setTextVisible(true);
    } else {
        m_bar->setRange(0, 0);
        m_bar->setTextVisible(false);
    }
    if (!m_stopping)
        m_text->setText(progress.what.isEmpty() ? QString::number(progress.done) : progress.what);
}

void JobBar::stopRequested(StopLevel level) {
    m_stopping = level != StopLevel::None;
    if (level == StopLevel::Stop)
        m_text->setText(QStringLiteral("Остановка… (ещё раз «Стоп» — прервать сразу)"));
    else if (level == StopLevel::Abandon)
        m_text->setText(QStringLiteral("Прерывание…"));
}

void JobBar::jobEnded() {
    if (m_bar->maximum() == 0) {
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
    }
    if (m_stopping) m_text->setText(QStringLiteral("Работа остановлена"));
    m_stopping = false;
    m_stop->setEnabled(false);
}

QString JobBar::progressText() const {
    return m_text->text();
}
