#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <functional>

#include "link/job/JobHost.h"
#include "link/job/JobRunner.h"
#include "link/job/ProgressClock.h"
#include "link/ui/UserMessage.h"

class QCheckBox;
class QLineEdit;
class QWidget;
class JobBar;
class MachineLink;
struct ProgramSettings;

// What a working window offers its jobs: its output check box Check1, its size fields, its
// picture redraw, the message box and its JobBar, with the stop level taken from the program's
// job runner. It also keeps the window's job controls in step with the runner: while any job
// runs anywhere, the registered job buttons are disabled; "Стоп" (and Esc in the window) stops
// this window's own job; a window closed under its job first stops the job and closes when the
// job has unwound.
class WindowJobHost final : public QObject, public JobHost {
    Q_OBJECT
public:
    // `window` is the working window (the parent of this object); `runner` and `settings` (the
    // time limit of a wait for an answer) outlive it.
    WindowJobHost(QWidget* window, JobRunner& runner, const ProgramSettings& settings);

    JobRunner& runner() const { return m_runner; }

    void setOutputBox(QCheckBox* box);
    void setField(JobField field, QLineEdit* edit);
    // Puts `text` into the size field `field` (a journal's value); nothing without that field.
    void setFieldText(JobField field, const QString& text);
    void setRedraw(std::function<void(const QRect&)> redraw);
    void setFiguresChanged(std::function<void()> changed);
    // Called at the start of every job this host runs, before the job's first line.
    void setJobStarting(std::function<void()> starting);
    // Called at the end of every job this host runs, however it ended; may throw JobEnded, which
    // is shown unless the job ended with a message of its own.
    void setJobEnding(std::function<void()> ending);
    // The machine link the jobs run on: each job then ends only when the machine has finished
    // (RunMachineJob), and a lost link closes it. `link` outlives the host.
    void setMachineLink(MachineLink* link) { m_link = link; }
    // Replaces the message box (tests record the messages instead).
    void setMessageFunction(MessageFunction show);
    // The bar that shows this window's job and carries its "Стоп" button.
    void setJobBar(JobBar* bar);
    // A control that starts jobs or changes what a job works on: disabled while any job runs,
    // enabled again when it has ended.
    void addJobControl(QWidget* control);

    // Runs `job` with this window as its host; false when a job is already running (nothing is
    // run then).
    bool runJob(const JobRunner::Job& job);
    // Whether the job running now is this window's.
    bool ownsRunningJob() const;
    // "Стоп" for this window's job: the first asks it to stop, the second abandons it.
    void stopJob();

    // For the window's closeEvent: true when the window may close now. While this window's job
    // runs it asks the job to stop, returns false, and closes the window once the job has ended.
    bool readyToClose();

    // JobHost
    bool outputEnabled() const override;
    QString fieldText(JobField field) const override;
    void redraw(const QRect& changed) override;
    void letEventsRun() override;
    void figuresChanged() override;
    void sleepMs(int milliseconds) override;
    StopLevel stopLevel() const override;
    // The program's setting ReplyTimeoutSeconds.
    int replyTimeoutMs() const override;
    void reportProgress(const JobProgress& progress) override;
    void showMessage(const MessageTitle& title, const QString& text) override;
    void focusField(JobField field) override;

signals:
    // This window's job reported its progress (shown in the job bar with its times).
    void progressReported(const JobProgress& progress);

private:
    void busyChanged(bool busy);
    void stopLevelChanged(StopLevel level);

    QWidget* m_window;
    JobRunner& m_runner;
    const ProgramSettings& m_settings;
    QPointer<QCheckBox> m_output;
    QMap<JobField, QPointer<QLineEdit>> m_fields;
    std::function<void(const QRect&)> m_redraw;
    std::function<void()> m_figuresChanged;
    std::function<void()> m_jobStarting;
    std::function<void()> m_jobEnding;
    MachineLink* m_link = nullptr;
    MessageFunction m_showMessage = &showMessageBox;
    QPointer<JobBar> m_bar;
    QList<QPointer<QWidget>> m_jobControls;
    ProgressClock m_clock;   // started with each job of this window
    bool m_running = false;  // the job running now is this window's
    JobOutcome m_outcome = JobOutcome::Finished;
    bool m_closePending = false;
};
