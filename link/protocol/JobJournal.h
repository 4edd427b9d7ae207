#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/protocol/JobLines.h"

// The job journal "cnc.journal" beside "cnc.ini": while a job runs it names the job (window,
// job, picture, every field and setting that shapes its lines, the port), counts the job's
// lines the machine has been sent and says where the tool stands, so that a job that did not
// end normally can be recomputed and resumed. A job that ends normally removes it.
//
// The file is replaced whole (AtomicFile) at most four times a second. Between those writes the
// count and the tool's position, a line of fixed width near its start, are overwritten in place
// after every line, without waiting for the disk: a crash of the program then loses no line
// (the system keeps what was written), a power cut at most the lines of the last quarter second.

// One thing that shapes a job's lines: its key in the file, its caption for the user, its value.
struct JournalEntry {
    QString key;
    QString caption;
    QString value;
};

struct ProgramSettings;

// The picture a job works on, as its journal names it.
struct JournalPicture {
    QString path;
    int width = 0;
    int height = 0;
    QString hash;  // pixelHash of its pixels as loaded, before the job drew on them
};

// A hash of `size` bytes of pixels, as hex digits.
QString pixelHash(const std::uint8_t* bytes, std::size_t size);

// What names a job in its journal: `window` and `job` (the window's name and the job's
// command words, such as "mill all"), the picture, the job's own fields (captions with values,
// in `fields`), then the step ratios, the G-code settings and the port of `settings`.
QList<JournalEntry> journalIdentity(const QString& window, const QString& job,
                                    const JournalPicture& picture,
                                    const QList<JournalEntry>& fields,
                                    const ProgramSettings& settings);

// What a journal holds.
struct JobJournalRecord {
    QList<std::pair<QString, QString>> identity;  // key, value in the file's order
    std::int64_t jobLines = 0;                    // the job's lines the machine was sent
    ToolState machine;                            // where the tool stands
    bool takesSamples = false;                    // a scan: the probe's answers are kept
    std::vector<qint32> samples;                  // the answers read, in order
    std::int64_t samplesLine = 0;                 // the job line of the last answer kept
    // The count and the tool were set from the machine's own report after a stop (placeAt);
    // a port whose machine runs ahead of the lines sent (GRBL) can resume only from such a one.
    bool reportedPoint = false;

    // The value of `key`; empty when the journal does not name it.
    QString value(const QString& key) const;
};

// The journal's path beside the configuration file `configPath`.
QString journalPathFor(const QString& configPath);

// Reads the journal at `path`; nothing, with the reason in `error`, when it is missing or not a
// journal.
std::optional<JobJournalRecord> readJobJournal(const QString& path, QString* error = nullptr);

// What differs between the job `now` and the journal, one text per entry ("ширина: в журнале
// 64, сейчас 80"); empty when the journal is this job's.
QStringList journalDifferences(const JobJournalRecord& journal, const QList<JournalEntry>& now);

// Where a job resumes from its journal: after the lines sent, or for a scan after the last
// answer kept; the tool where the journal says it stands.
ResumeStart resumeStartOf(const JobJournalRecord& journal);

// The journal of a running job, told of every line by the move protocol (LineWatcher).
class JobJournal final : public LineWatcher {
public:
    // `takesSamples`: the job is a scan, whose probe answers are kept too.
    JobJournal(QString path, QList<JournalEntry> identity, bool takesSamples);
    ~JobJournal() override;
    JobJournal(const JobJournal&) = delete;
    JobJournal& operator=(const JobJournal&) = delete;

    // Writes the journal of the job that starts; returns why it cannot, empty when written.
    QString start();
    void lineCarried(std::int64_t jobLines, const ToolState& machine) override;
    void sampleRead(std::int64_t jobLines, qint32 sample) override;
    // The job ended normally: the journal is removed.
    void remove();
    // The job ended otherwise: the journal is written whole once more and kept.
    void keep();
    // The machine's own report after a stop says where the job goes on (see reportedPoint).
    void placeAt(const ResumeStart& start);
    // The job goes on from `start`, read from the journal this one replaces (before start()):
    // until the job's lines pass that point, this journal keeps saying so, so that a stop or a
    // crash while the skipped lines are recomputed loses nothing.
    void continueFrom(const ResumeStart& start);

    const QString& path() const { return m_path; }

private:
    QByteArray text() const;
    QString writeWhole();
    void writeCount();

    QString m_path;
    QList<JournalEntry> m_identity;
    bool m_takesSamples;
    std::int64_t m_jobLines = 0;
    ToolState m_machine;
    std::vector<qint32> m_samples;
    std::int64_t m_samplesLine = 0;
    bool m_reportedPoint = false;
    std::int64_t m_continuedFrom = 0;  // the lines of the journal this one goes on from
    QElapsedTimer m_sinceWritten;
    int m_fd = -1;  // the file last written, open for the count written in place
    bool m_failed = false;
};
