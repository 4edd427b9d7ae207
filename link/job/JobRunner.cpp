#include "link/job/JobRunner.h"

#include <exception>

#include "link/job/JobHost.h"

namespace {

// The title a job's closing message is shown under when the job did not name one.
MessageTitle titleFor(const JobEnded& ended) {
    if (ended.title()) return *ended.title();
    return ended.reason() == JobEnded::Reason::Stopped ? kStopTitle : kErrorTitle;
}

}  // namespace

bool JobRunner::run(JobHost& host, const Job& job) {
    if (busy()) return false;
    m_host = &host;
    m_stop = StopLevel::None;
    emit busyChanged(true);
    try {
        job(host);
    } catch (const JobEnded& ended) {
        host.showMessage(titleFor(ended), ended.message());
        if (ended.field()) host.focusField(*ended.field());
    } catch (const std::exception& failure) {
        host.showMessage(kErrorTitle, QStringLiteral("Работа прервана из-за внутренней ошибки: %1")
                                          .arg(QString::fromLocal8Bit(failure.what())));
    }
    m_host = nullptr;
    setStopLevel(StopLevel::None);
    emit busyChanged(false);
    return true;
}

void JobRunner::requestStop() {
    if (!busy()) return;
    setStopLevel(m_stop == StopLevel::None ? StopLevel::Stop : StopLevel::Abandon);
}

void JobRunner::requestStopForClose() {
    if (!busy() || m_stop != StopLevel::None) return;
    setStopLevel(StopLevel::Stop);
}

void JobRunner::setStopLevel(StopLevel level) {
    if (m_stop == level) return;
    m_stop = level;
    emit stopLevelChanged(level);
}
