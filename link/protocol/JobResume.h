#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "link/protocol/JobLines.h"

class JobJournal;
struct JobJournalRecord;
struct JournalEntry;
class MachineLink;
class MoveProtocol;

// After a job with a journal that ended early (stopped, refused midway, lost link): decides
// where it can go on and keeps the journal saying so. On our protocol the machine has carried
// out exactly the lines answered; on a port that reports the machine's position (GRBL) the
// position read after the stop decides (MoveProtocol::resumeAtReportedPoint). Returns where the
// job goes on, or nothing when it cannot be continued; a job that sent no line of its own
// removes its journal.
std::optional<ResumeStart> keepJournalForResume(MoveProtocol& protocol, MachineLink& link,
                                                JobJournal& journal);

// Whether `journal` may be continued on its port: always on our protocol; on a port whose
// machine runs ahead of the lines sent (GRBL) only when the point was read from the machine's
// report after the stop, not when the program ended without reading it (a crash, a kill, a lost
// link), since the machine may then have run on through its buffer, nor after a reset during a
// motion, which loses steps.
bool portResumes(const JobJournalRecord& journal);

// Where the job named `identity` goes on from the journal at `path`: nothing, with the reason
// for the user in `refusal`, when there is no journal, when it names another job (what differs,
// entry by entry) or when its port cannot be continued (portResumes). Nothing has been sent then.
std::optional<ResumeStart> resumeFromJournal(const QString& path,
                                             const QList<JournalEntry>& identity, QString& refusal);
