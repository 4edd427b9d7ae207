#pragma once

#include <QString>
#include <optional>

#include "link/protocol/JobLines.h"

class JobJournal;
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

// Whether a journal left by a job on `port` (the journal's "port" value) may be continued.
bool portResumes(const QString& port);
