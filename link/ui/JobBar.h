#pragma once

#include <QWidget>

#include "link/job/JobHost.h"
#include "link/job/ProgressClock.h"

class ElidedLabel;
class QProgressBar;
class QPushButton;

// The strip of a working window that shows the running job: what it reports (steps or items
// done, and a total where the job knows one), the time elapsed and left, and the "Стоп" button.
// Its texts never widen the window's column: a long one is cut with "…" and shown whole as the
// tool tip. WindowJobHost drives it.
class JobBar : public QWidget {
    Q_OBJECT
public:
    explicit JobBar(QWidget* parent = nullptr);

    QPushButton* stopButton() const { return m_stop; }

    // A job of this window starts: the bar is emptied and "Стоп" enabled.
    void jobStarted();
    // Shows what the job reports with its times; a total of 0 shows a moving bar.
    void showProgress(const JobProgress& progress, const ProgressTimes& times);
    // The job was asked to stop: the text tells the user that one more "Стоп" abandons it.
    void stopRequested(StopLevel level);
    // A job has ended: "Стоп" disabled, the bar at rest, the last report kept (or a note that
    // the job was stopped).
    void jobEnded();
    // This window's job has ended after `elapsedMs` as `outcome` says: as jobEnded, and the
    // times line says how it ended instead of a time left.
    void jobEnded(std::int64_t elapsedMs, JobOutcome outcome);

    // The times line, whole.
    QString timesText() const;

    // The job's own text (or its count), or the stop hint; whole, however it is shown.
    QString progressText() const;

private:
    QProgressBar* m_bar;
    ElidedLabel* m_text;
    ElidedLabel* m_times;
    QPushButton* m_stop;
    bool m_stopping = false;  // the stop hint stays until the job has ended
};
