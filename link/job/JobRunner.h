#pragma once

#include <QObject>
#include <functional>

#include "link/job/JobHost.h"

// Runs the program's jobs (and manual moves) one at a time. A job runs on the user-interface
// thread inside the call of run() and lets the window's events run while it waits, so a click
// handled during a wait runs nested inside the job; run() refuses to start a second job then.
//
// Stopping has two stages: the first request asks the job to finish the line in flight and leave
// the machine safe (StopLevel::Stop), the second abandons it at once (StopLevel::Abandon). The
// job's host reads the level from here.
class JobRunner : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void(JobHost& host)>;

    explicit JobRunner(QObject* parent = nullptr) : QObject(parent) {}

    // Runs `job` with `host` and returns when it has ended; returns false, running nothing, when
    // a job is already running (in any window). A job that ends by throwing JobEnded has its
    // message shown through the host (and the field it names focused); any other exception is shown
    // as an internal error. Nothing escapes. busyChanged(true) is emitted before the job starts,
    // busyChanged(false) after it has unwound and its message has been shown.
    bool run(JobHost& host, const Job& job);

    bool busy() const { return m_host != nullptr; }
    // The host of the running job; nullptr when idle.
    const JobHost* currentHost() const { return m_host; }
    // How far the running job has been asked to stop; None when idle.
    StopLevel stopLevel() const { return m_stop; }

    // "Стоп": asks the running job to stop, and to end at once when asked already. Ignored when
    // idle.
    void requestStop();
    // A window closing under the job: asks it to stop, but never escalates a stop already asked
    // for, so repeated close requests do not abandon the job. Ignored when idle.
    void requestStopForClose();

signals:
    void busyChanged(bool busy);
    void stopLevelChanged(StopLevel level);

private:
    void setStopLevel(StopLevel level);

    JobHost* m_host = nullptr;
    StopLevel m_stop = StopLevel::None;
};
