#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

#include "link/protocol/JobJournal.h"
#include "link/protocol/JobLines.h"

class JobHost;
class MoveProtocol;
class QPushButton;
class StartFromDialog;
class WindowJobHost;
struct ProgramContext;

// How a window's job starts.
struct WindowJobStart {
    enum class From {
        FirstLine,
        Journal,  // where the journal "cnc.journal" says the job stopped ("Продолжить")
        Section,  // from a chosen figure, row or grid point ("Начать с…")
    };
    From from = From::FirstLine;
    ResumeStart section;  // From::Section: startFromSection(n), a scan's kept samples with it

    static WindowJobStart journal() { return {From::Journal, {}}; }
    static WindowJobStart fromSection(ResumeStart start) { return {From::Section, start}; }
};

// What "Начать с…" of a window asks: which of its jobs (when it has more than one) and from
// which figure, row or grid point.
struct StartFromChoice {
    QStringList jobs;       // as the window's buttons name them
    QString numberCaption;  // "Номер фигуры в дереве:"
    // The largest number the window's jobs have now; 0 when there is nothing to start from yet.
    std::function<qint64()> largest;
    QString nothingYet;  // what the user is told then
};

// "Продолжить" and "Начать с…" of a working window. Runs the window's jobs with a journal
// ("cnc.journal") while the machine receives their lines; a job that ends early (stopped,
// refused midway, lost link) keeps its journal where it can go on (keepJournalForResume) and
// shows "Продолжить", as does a journal found when the program starts (offer). Continuing reads
// the journal again: a job whose picture, fields or settings differ from what it names is
// refused with the differences, and nothing is sent. The job's start (its layers, figures and
// tool) is the window's to keep.
class JobContinuation : public QObject {
    Q_OBJECT
public:
    // The buttons are added to the job controls of `host` (disabled while any job runs); the
    // window places them. `host` and `program` outlive this.
    JobContinuation(WindowJobHost& host, ProgramContext& program, StartFromChoice choice,
                    QWidget* buttonParent);

    QPushButton* button() const { return m_button; }
    QPushButton* startFromButton() const { return m_startFrom; }
    // The job "Продолжить" goes on with, by its command words ("mill all"); empty when none.
    const QString& continuedJob() const { return m_continuedJob; }

    // A journal found at start-up: the window has taken its picture and fields, and
    // "Продолжить" goes on with its job.
    void offer(const JobJournalRecord& journal);

    // What names a job in its journal, from the host's fields as the job starts.
    using Identity = std::function<QList<JournalEntry>(const JobHost&)>;
    // Runs `job` through the window's job host from `start`. The journal is kept only when the
    // lines go to the machine; with `takesSamples` it keeps the probe's answers.
    void run(const Identity& identity, MoveProtocol& protocol,
             const std::function<void(JobHost&)>& job, const WindowJobStart& start = {},
             bool takesSamples = false);

signals:
    void continueClicked();
    // "Начать с…" was answered: job `jobIndex` of the choice's jobs from `number`.
    void startFromChosen(int jobIndex, qint64 number);

private:
    void askStartFrom();
    void showContinue(const QString& job);

    WindowJobHost& m_host;
    ProgramContext& m_program;
    StartFromChoice m_choice;
    QPushButton* m_button;
    QPushButton* m_startFrom;
    QPointer<StartFromDialog> m_dialog;
    QString m_continuedJob;
};
