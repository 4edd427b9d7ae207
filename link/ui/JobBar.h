#pragma once

#include <QWidget>

#include "link/JobHost.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The strip of a working window that shows the running job: what it reports (steps or items
// done, and a total where the job knows one) and the "Стоп" button. WindowJobHost drives it.
class JobBar : public QWidget {
    Q_OBJECT
public:
    explicit JobBar(QWidget* parent = nullptr);

    QPushButton* stopButton() const { return m_stop; }

    // A job of this window starts: the bar is emptied and "Стоп" enabled.
    void jobStarted();
    // Shows what the job reports; a total of 0 shows a moving bar.
    void showProgress(const JobProgress& progress);
    // The job was asked to stop: the text tells the user that one more "Стоп" abandons it.
    void stopRequested(StopLevel level);
    // The job of this window has ended: "Стоп" disabled, the bar at rest, the last report kept
    // (or a note that the job was stopped).
    void jobEnded();

    QString progressText() const;

private:
    QProgressBar* m_bar;
    QLabel* m_text;
    QPushButton* m_stop;
    bool m_stopping = false;  // the stop hint stays until the job has ended
};
