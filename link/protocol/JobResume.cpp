#include "link/protocol/JobResume.h"

#include "link/protocol/JobJournal.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/serial/SerialDriver.h"

std::optional<ResumeStart> keepJournalForResume(MoveProtocol& protocol, MachineLink& link,
                                                JobJournal& journal) {
    if (protocol.jobLines() == 0 && protocol.joined()) {
        journal.remove();
        return std::nullopt;
    }
    if (!protocol.reportsPosition() || !protocol.joined()) {
        // The job goes on from what the journal says, as it would after a restart (for a scan
        // the last probe answer kept, with the answers read before it). A resumed job that
        // ended before the tool was brought to its point sent nothing of its own, and its
        // journal still says where the job stands.
        journal.keep();
        const std::optional<JobJournalRecord> kept = readJobJournal(journal.path());
        if (!kept) return std::nullopt;
        return resumeStartOf(*kept);
    }
    // GRBL runs ahead of the lines answered; where it stopped is read from its report. A link
    // that is no longer open reports nothing: the machine may have run on through its buffer;
    // a stop whose reset came during a motion leaves GRBL not knowing where it stands. The
    // journal is then kept for the record but cannot be continued (portResumes).
    const SerialTransport* port = link.driver().transportOf(link.PortHandle());
    if (!link.isOpen() || !port || port->positionLost()) {
        journal.keep();
        return std::nullopt;
    }
    const ResumeStart start = protocol.resumeAtReportedPoint();
    journal.placeAt(start);
    journal.keep();
    return start;
}

bool portResumes(const JobJournalRecord& journal) {
    return journal.reportedPoint ||
           !journal.value(QStringLiteral("port")).startsWith(QLatin1String("grbl:"));
}

std::optional<ResumeStart> resumeFromJournal(const QString& path,
                                             const QList<JournalEntry>& identity,
                                             QString& refusal) {
    QString error;
    const std::optional<JobJournalRecord> record = readJobJournal(path, &error);
    if (!record) {
        refusal = QStringLiteral("Продолжить нельзя: %1.").arg(error);
        return std::nullopt;
    }
    const QStringList differences = journalDifferences(*record, identity);
    if (!differences.isEmpty()) {
        refusal = QStringLiteral(
                      "Журнал работы %1 не подходит к этой работе, на станок ничего "
                      "не отправлено:\n  %2")
                      .arg(path, differences.join(QStringLiteral("\n  ")));
        return std::nullopt;
    }
    if (!portResumes(*record)) {
        refusal = QStringLiteral(
            "Продолжить нельзя: где встал станок на порту grbl:, надёжного отчёта GRBL нет "
            "(программа прервана, связь потеряна или сброс пришёлся на движение); GRBL мог "
            "пройти дальше по строкам своего буфера или потерять шаги. Начните работу сначала; "
            "на станок ничего не отправлено.");
        return std::nullopt;
    }
    return resumeStartOf(*record);
}
