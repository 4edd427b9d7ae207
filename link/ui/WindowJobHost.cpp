#include "link/ui/WindowJobHost.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineJob.h"
#include "link/ui/JobBar.h"

WindowJobHost::WindowJobHost(QWidget* window, JobRunner& runner, const ProgramSettings& settings)
    : QObject(window), m_window(window), m_runner(runner), m_settings(settings) {
    connect(&m_runner, &JobRunner::busyChanged, this, &WindowJobHost::busyChanged);
    connect(&m_runner, &JobRunner::stopLevelChanged, this, &WindowJobHost::stopLevelChanged);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &WindowJobHost::stopJob);
}

void WindowJobHost::setOutputBox(QCheckBox* box) {
    m_output = box;
}

void WindowJobHost::setField(JobField field, QLineEdit* edit) {
    m_fields.insert(field, edit);
}

void WindowJobHost::setRedraw(std::function<void(const QRect&)> redraw) {
    m_redraw = std::move(redraw);
}

void WindowJobHost::setFiguresChanged(std::function<void()> changed) {
    m_figuresChanged = std::move(changed);
}

void WindowJobHost::setMessageFunction(MessageFunction show) {
    m_showMessage = std::move(show);
}

void WindowJobHost::setJobBar(JobBar* bar) {
    m_bar = bar;
    connect(bar->stopButton(), &QPushButton::clicked, this, &WindowJobHost::stopJob);
}

void WindowJobHost::addJobControl(QWidget* control) {
    m_jobControls.append(control);
    if (m_runner.busy()) control->setEnabled(false);
}

void WindowJobHost::setJobStarting(std::function<void()> starting) {
    m_jobStarting = std::move(starting);
}

void WindowJobHost::setJobEnding(std::function<void()> ending) {
    m_jobEnding = std::move(ending);
}

namespace {

JobOutcome outcomeOf(JobEnded::Reason reason) {
    switch (reason) {
        case JobEnded::Reason::Stopped:
            return JobOutcome::Stopped;
        case JobEnded::Reason::Abandoned:
            return JobOutcome::Abandoned;
        case JobEnded::Reason::Refused:
            return JobOutcome::Refused;
        case JobEnded::Reason::TimedOut:
        case JobEnded::Reason::ControllerFailed:
        case JobEnded::Reason::LinkLost:
            break;
    }
    return JobOutcome::Failed;
}

}  // namespace

bool WindowJobHost::runJob(const JobRunner::Job& job) {
    return m_runner.run(*this, [this, &job](JobHost& host) {
        if (m_jobStarting) m_jobStarting();
        const auto jobThenEnding = [&] {
            try {
                job(host);
            } catch (...) {
                // The job's own message is the one shown.
                try {
                    if (m_jobEnding) m_jobEnding();
                } catch (const JobEnded&) {
                }
                throw;
            }
            if (m_jobEnding) m_jobEnding();
        };
        m_outcome = JobOutcome::Failed;
        try {
            if (m_link)
                RunMachineJob(host, *m_link, jobThenEnding);
            else
                jobThenEnding();
        } catch (const JobEnded& ended) {
            m_outcome = outcomeOf(ended.reason());
            throw;
        }
        // A job that reached its end after "Стоп" was pressed has still been stopped.
        m_outcome = stopLevel() == StopLevel::None ? JobOutcome::Finished : JobOutcome::Stopped;
    });
}

bool WindowJobHost::ownsRunningJob() const {
    return m_runner.currentHost() == this;
}

void WindowJobHost::stopJob() {
    if (ownsRunningJob()) m_runner.requestStop();
}

bool WindowJobHost::readyToClose() {
    if (!ownsRunningJob()) {
        m_closePending = false;
        return true;
    }
    m_closePending = true;
    m_runner.requestStopForClose();
    return false;
}

void WindowJobHost::busyChanged(bool busy) {
    for (const QPointer<QWidget>& control : std::as_const(m_jobControls))
        if (control) control->setEnabled(!busy);
    if (busy) {
        if (!ownsRunningJob()) return;
        m_running = true;
        m_clock.start(clockMs());
        if (m_bar) m_bar->jobStarted();
        return;
    }
    if (m_bar && m_running)
        m_bar->jobEnded(m_clock.elapsedMs(clockMs()), m_outcome);
    else if (m_bar)
        m_bar->jobEnded();
    m_running = false;
    // The runner is still returning from the job: the window closes from the event loop, when
    // nothing of the job is left on the stack.
    if (m_closePending) {
        QTimer::singleShot(0, this, [this] {
            if (m_closePending) closeHostingWindow(m_window);
        });
    }
}

void WindowJobHost::stopLevelChanged(StopLevel level) {
    if (ownsRunningJob() && m_bar) m_bar->stopRequested(level);
}

bool WindowJobHost::outputEnabled() const {
    return m_output && m_output->isChecked();
}

QString WindowJobHost::fieldText(JobField field) const {
    const QPointer<QLineEdit> edit = m_fields.value(field);
    return edit ? edit->text() : QString();
}

void WindowJobHost::setFieldText(JobField field, const QString& text) {
    if (const QPointer<QLineEdit> edit = m_fields.value(field)) edit->setText(text);
}

void WindowJobHost::redraw(const QRect& changed) {
    if (m_redraw) m_redraw(changed);
}

void WindowJobHost::letEventsRun() {
    QCoreApplication::processEvents();
}

void WindowJobHost::figuresChanged() {
    if (m_figuresChanged) m_figuresChanged();
}

void WindowJobHost::sleepMs(int milliseconds) {
    QThread::msleep(milliseconds);
}

int WindowJobHost::replyTimeoutMs() const {
    return int(std::min(m_settings.ReplyTimeoutSeconds * 1000, 2e9));
}

StopLevel WindowJobHost::stopLevel() const {
    return ownsRunningJob() ? m_runner.stopLevel() : StopLevel::None;
}

void WindowJobHost::reportProgress(const JobProgress& progress) {
    const ProgressTimes times = m_clock.report(progress, clockMs());
    if (m_bar) m_bar->showProgress(progress, times);
    emit progressReported(progress);
}

void WindowJobHost::showMessage(const MessageTitle& title, const QString& text) {
    m_showMessage(m_window, title, text);
}

void WindowJobHost::focusField(JobField field) {
    const QPointer<QLineEdit> edit = m_fields.value(field);
    if (!edit) return;
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}
