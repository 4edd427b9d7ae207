#include "link/protocol/JobResume.h"

#include <QString>

#include "link/protocol/JobJournal.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"

std::optional<ResumeStart> keepJournalForResume(MoveProtocol& protocol, MachineLink& link,
                                                JobJournal& journal) {
    if (protocol.jobLines() == 0 && protocol.joined()) {
        journal.remove();
        return std::nullopt;
    }
    if (!protocol.reportsPosition()) {
        journal.keep();
        return ResumeStart{protocol.jobLines(), protocol.machineTool(), {}};
    }
    // GRBL runs ahead of the lines answered; where it stopped is read from its report. Going
    // on from that point is not yet offered: the journal is kept for the record only.
    if (link.isOpen()) journal.placeAt(protocol.resumeAtReportedPoint());
    journal.keep();
    return std::nullopt;
}

bool portResumes(const QString& port) {
    return !port.startsWith(QLatin1String("grbl:"));
}
