#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <functional>

#include "app/batch/BatchCommandLine.h"
#include "figures/PixelBuffer.h"
#include "link/job/JobHost.h"
#include "link/job/ProgressClock.h"
#include "link/protocol/JobJournal.h"

class MoveProtocol;
struct ProgramContext;
struct ProgramSettings;
enum class MoveRules;

// The host of a job run from the command line: the size fields hold plain texts, nothing is
// drawn, messages and progress go to standard error, and Ctrl+C asks the job to stop (a second
// Ctrl+C abandons it), as "Стоп" does in a window.
class BatchJobHost final : public JobHost {
public:
    // Takes --dry-run and --timeout (without it, the setting ReplyTimeoutSeconds of `settings`)
    // from `options`; catches SIGINT, SIGTERM and SIGHUP until destroyed.
    BatchJobHost(const BatchOptions& options, const ProgramSettings& settings);
    ~BatchJobHost() override;
    BatchJobHost(const BatchJobHost&) = delete;
    BatchJobHost& operator=(const BatchJobHost&) = delete;

    // The text a size field holds for the job (from an option or the configuration file).
    void setField(JobField field, const QString& text) { m_fields[field] = text; }
    // What the job is, for ports that record it (a G-code file's header): the command and its
    // picture; the size fields set are added to it.
    void setJobTitle(const QString& title) { m_jobTitle = title; }
    QString jobDescription() const;
    // The message of a job's end in the words of the command line: a size field given by its
    // option (--width, --depth, --diameter) whose text is not a number is refused naming the
    // option and the text; any other refusal of a field says where its value came from (the
    // option, or the configuration file that the window's field wrote); every other end keeps
    // its message.
    QString commandLineMessage(const JobEnded& ended) const;
    // What names the job in its journal (see journalIdentity); a job without one keeps none.
    // `takesSamples`: a scan, whose probe answers the journal keeps.
    void setJournalIdentity(QList<JournalEntry> identity, bool takesSamples = false) {
        m_journalIdentity = std::move(identity);
        m_journalTakesSamples = takesSamples;
    }
    const QList<JournalEntry>& journalIdentity() const { return m_journalIdentity; }
    bool journalTakesSamples() const { return m_journalTakesSamples; }
    // The size fields set, with their captions, for the journal.
    QList<JournalEntry> journalFields() const;

    bool outputEnabled() const override { return !m_dryRun; }
    QString fieldText(JobField field) const override { return m_fields.value(field); }
    void redraw(const QRect&) override {}
    void letEventsRun() override;
    void sleepMs(int milliseconds) override;
    StopLevel stopLevel() const override;
    int replyTimeoutMs() const override { return m_timeoutMs; }
    // A bar redrawn in place when standard error is a terminal, otherwise a line a second; both
    // with the elapsed time and the time left.
    void reportProgress(const JobProgress& progress) override;
    void showMessage(const MessageTitle& title, const QString& text) override;

    // Ends the progress bar's line, if one is shown.
    void endProgress();
    // The job starts now: its elapsed time is counted from here.
    void startClock();

private:
    const BatchOptions& m_options;
    bool m_dryRun;
    int m_timeoutMs;
    QMap<JobField, QString> m_fields;
    QString m_jobTitle;
    QList<JournalEntry> m_journalIdentity;
    bool m_journalTakesSamples = false;
    bool m_terminal;
    bool m_progressShown = false;
    QElapsedTimer m_sinceProgress;
    ProgressClock m_clock;
};

// A job of a batch command, given its host and a move protocol of the command's window rules
// over the program's link.
using BatchJob = std::function<void(JobHost&, MoveProtocol&)>;

// Runs `job` as a batch command does: opens the program's port (its settings' PortName; not
// with --dry-run; any kind of port the link knows) with the --log file, runs the job with a
// move protocol of `rules`, then closes the port and writes on standard error the job's
// message, if any, and one summary line (lines sent, time taken). The job lasts until the
// machine has finished it (RunMachineJob); with --dry-run the summary adds dryRunNote(). A job
// with a journal identity keeps the journal beside the configuration file while it runs (removed
// when it ends normally); with --resume it goes on from that journal, which must name the same
// job (what differs is said and nothing is sent otherwise). Returns kExitDone, or kExitFailed
// when the port or the log cannot be opened, the journal does not fit, or the job was refused,
// timed out, abandoned, stopped with Ctrl+C or lost its link.
int runBatchJob(ProgramContext& program, const BatchOptions& options, BatchJobHost& host,
                MoveRules rules, const BatchJob& job);

// Runs `job` as runBatchJob does, then writes --preview, if given, from `result` (the picture
// that shows what the job did). Returns runBatchJob's status, or kExitFailed when the preview is
// not written.
int runBatchJobWithPreview(ProgramContext& program, const BatchOptions& options, BatchJobHost& host,
                           MoveRules rules, const PixelBuffer& result, const BatchJob& job);
