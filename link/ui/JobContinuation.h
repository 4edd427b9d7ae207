#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "link/protocol/JobJournal.h"
#include "link/protocol/JobLines.h"

class JobHost;
class MoveProtocol;
class QPushButton;
class WindowJobHost;
struct ProgramContext;

// "Продолжить" of a working window. Runs the window's jobs with a journal ("cnc.journal") while
// the machine receives their lines; a job that ends early (stopped, refused midway, lost link)
// keeps its journal where it can go on (keepJournalForResume) and shows the button, whose press
// the window answers by running the same job again from there. The job's start (its layers,
// figures and tool) is the window's to keep.
class JobContinuation : public QObject {
    Q_OBJECT
public:
    // The button is added to the job controls of `host` (disabled while any job runs); the
    // window places it. `host` and `program` outlive this.
    JobContinuation(WindowJobHost& host, ProgramContext& program, QWidget* buttonParent);

    QPushButton* button() const { return m_button; }
    // Where the last job ended early, if it did and can go on.
    const std::optional<ResumeStart>& resumeAt() const { return m_resume; }

    // What names a job in its journal, from the host's fields as the job starts.
    using Identity = std::function<QList<JournalEntry>(const JobHost&)>;
    // Runs `job` through the window's job host; with `resume`, from there. The journal is kept
    // only when the lines go to the machine; with `takesSamples` it keeps the probe's answers.
    void run(const Identity& identity, MoveProtocol& protocol,
             const std::function<void(JobHost&)>& job,
             std::optional<ResumeStart> resume = std::nullopt, bool takesSamples = false);

signals:
    void continueClicked();

private:
    WindowJobHost& m_host;
    ProgramContext& m_program;
    QPushButton* m_button;
    std::optional<ResumeStart> m_resume;
};
