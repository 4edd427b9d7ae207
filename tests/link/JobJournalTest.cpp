#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/JobResume.h"

// The job journal as the program leaves it behind: what a crash finds in the file, what differs
// from the job that would go on, and a resumed job that is stopped before it reaches its point.

namespace {

class JobJournalTest : public testing::Test {
protected:
    QList<JournalEntry> identity(const QString& width) const {
        return journalIdentity("engrave", "engrave", {"/pictures/p.bmp", 30, 20, "abcd"},
                               {{"width", "ширина", width}}, ProgramSettings());
    }
    QString path() const { return m_dir.filePath("cnc.journal"); }

    QTemporaryDir m_dir;
};

// Between two whole writes the count is overwritten in place: what a crash leaves readable says
// the last line the machine was sent, and where the tool stands.
TEST_F(JobJournalTest, ACrashFindsTheLastLineCountedAndTheJobItNames) {
    JobJournal journal(path(), identity("80"), false);
    ASSERT_EQ(journal.start(), QString());
    for (int line = 1; line <= 7; ++line) journal.lineCarried(line, {{line * 10, -line, 0}, true});
    const std::optional<JobJournalRecord> found = readJobJournal(path());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->jobLines, 7);
    EXPECT_EQ(found->machine, (ToolState{{70, -7, 0}, true}));
    EXPECT_EQ(found->value("job"), "engrave");
    EXPECT_TRUE(journalDifferences(*found, identity("80")).isEmpty());
    EXPECT_EQ(journalDifferences(*found, identity("81")),
              QStringList{"ширина: в журнале «80», сейчас «81»"});
    // What the journal names and the job does not is a difference too (a map no longer followed).
    QList<JournalEntry> withoutWidth = identity("80");
    withoutWidth.removeIf([](const JournalEntry& entry) { return entry.key == "width"; });
    EXPECT_EQ(journalDifferences(*found, withoutWidth),
              QStringList{"width: в журнале «80», сейчас нет"});
    QString refusal;
    EXPECT_FALSE(resumeFromJournal(path(), identity("81"), refusal));
    EXPECT_TRUE(refusal.contains("ширина: в журнале «80», сейчас «81»")) << refusal.toStdString();
    const std::optional<ResumeStart> resume = resumeFromJournal(path(), identity("80"), refusal);
    ASSERT_TRUE(resume);
    EXPECT_EQ(resume->skipLines, 7);
}

// A scan resumed from its journal and stopped again while its skipped lines were recomputed
// (before the probe was brought to its point) keeps the journal it went on from: the count, the
// tool and the probe's answers, none of them taken twice.
TEST_F(JobJournalTest, AResumeStoppedBeforeItsPointKeepsWhereTheJobStood) {
    {
        JobJournal first(path(), identity("80"), true);
        ASSERT_EQ(first.start(), QString());
        for (int line = 1; line <= 6; ++line) {
            first.lineCarried(line, {{line, 0, 0}, false});
            if (line % 2 == 0) first.sampleRead(line, 100 + line);
        }
        first.keep();
    }
    QString refusal;
    const std::optional<ResumeStart> resume = resumeFromJournal(path(), identity("80"), refusal);
    ASSERT_TRUE(resume) << refusal.toStdString();
    ASSERT_EQ(resume->samples, (std::vector<qint32>{102, 104, 106}));

    JobJournal again(path(), identity("80"), true);
    again.continueFrom(*resume);
    ASSERT_EQ(again.start(), QString());
    // The move protocol tells of the skipped lines and answers as it recomputes them.
    for (int line = 1; line <= 4; ++line) {
        again.lineCarried(line, resume->machine);
        if (line % 2 == 0) again.sampleRead(line, 100 + line);
    }
    again.keep();
    std::optional<JobJournalRecord> kept = readJobJournal(path());
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->jobLines, 6);
    EXPECT_EQ(kept->machine, resume->machine);
    EXPECT_EQ(kept->samples, resume->samples);
    EXPECT_TRUE(kept->reportedPoint) << "the machine has not moved since its point was read";

    // Past its point the job counts on, and the machine moves again.
    again.lineCarried(6, {{6, 0, 0}, false});
    again.lineCarried(7, {{7, 0, 0}, false});
    again.lineCarried(8, {{8, 0, 0}, false});
    again.sampleRead(8, 108);
    again.keep();
    kept = readJobJournal(path());
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->jobLines, 8);
    EXPECT_EQ(kept->samples, (std::vector<qint32>{102, 104, 106, 108}));
    EXPECT_FALSE(kept->reportedPoint);
}

}  // namespace
