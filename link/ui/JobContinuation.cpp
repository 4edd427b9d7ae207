#include "link/ui/JobContinuation.h"

#include <QFile>
#include <QPushButton>

#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/JobResume.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/StartFromDialog.h"
#include "link/ui/WindowJobHost.h"

namespace {

[[noreturn]] void refuse(const QString& message) {
    throw JobEnded(JobEnded::Reason::Refused, kErrorTitle, message);
}

// Where the job named `identity` goes on from the journal at `path`; refused (JobEnded) when it
// cannot, nothing sent.
ResumeStart journalResume(const QString& path, const QList<JournalEntry>& identity,
                          bool toMachine) {
    if (!toMachine) {
        refuse(
            QStringLiteral("Продолжить можно только работу на станке: откройте порт и "
                           "отметьте вывод на станок; на станок ничего не отправлено."));
    }
    QString refusal;
    const std::optional<ResumeStart> resume = resumeFromJournal(path, identity, refusal);
    if (!resume) refuse(refusal);
    return *resume;
}

}  // namespace

JobContinuation::JobContinuation(WindowJobHost& host, ProgramContext& program,
                                 StartFromChoice choice, QWidget* buttonParent)
    : QObject(buttonParent),
      m_host(host),
      m_program(program),
      m_choice(std::move(choice)),
      m_button(new QPushButton(QStringLiteral("Продолжить"), buttonParent)),
      m_startFrom(new QPushButton(QStringLiteral("Начать с…"), buttonParent)) {
    m_button->setObjectName(QStringLiteral("ContinueButton"));
    m_button->setToolTip(
        QStringLiteral("Продолжить остановленную работу с первой строки, которую станок не "
                       "получил; инструмент подводится туда безопасно"));
    m_button->hide();
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (!m_continuedJob.isEmpty()) emit continueClicked();
    });
    host.addJobControl(m_button);
    m_startFrom->setObjectName(QStringLiteral("StartFromButton"));
    m_startFrom->setToolTip(
        QStringLiteral("Начать работу не сначала, а с выбранного места; инструмент подводится "
                       "туда безопасно"));
    connect(m_startFrom, &QPushButton::clicked, this, &JobContinuation::askStartFrom);
    host.addJobControl(m_startFrom);
}

void JobContinuation::askStartFrom() {
    const qint64 largest = m_choice.largest ? m_choice.largest() : 0;
    if (largest < 1) {
        m_host.showMessage(kErrorTitle, m_choice.nothingYet);
        return;
    }
    delete m_dialog;  // the one asked before, closed by now
    m_dialog = new StartFromDialog(m_choice.jobs, m_choice.numberCaption, largest,
                                   qobject_cast<QWidget*>(parent()));
    connect(m_dialog, &StartFromDialog::chosen, this, &JobContinuation::startFromChosen);
    m_dialog->open();
}

void JobContinuation::showContinue(const QString& job) {
    m_continuedJob = job;
    m_button->setVisible(!job.isEmpty());
}

void JobContinuation::offer(const JobJournalRecord& journal) {
    showContinue(journal.value(QStringLiteral("job")));
}

void JobContinuation::run(const Identity& identity, MoveProtocol& protocol,
                          const std::function<void(JobHost&)>& job, const WindowJobStart& start,
                          bool takesSamples) {
    const QString continued = m_continuedJob;
    const bool fromJournal = start.from == WindowJobStart::From::Journal;
    bool keptForResume = false;
    QString jobWords;
    showContinue({});
    m_host.runJob([&](JobHost& host) {
        const QList<JournalEntry> named = identity(host);
        for (const JournalEntry& entry : named)
            if (entry.key == u"job") jobWords = entry.value;
        const QString path = journalPathFor(m_program.config.ConfigPath());
        const bool toMachine = host.outputEnabled() && m_program.link.isOpen();
        std::optional<ResumeStart> resume;
        if (fromJournal) {
            // A refusal leaves the journal as it was, to be continued once it matches.
            keptForResume = QFile::exists(path);
            resume = journalResume(path, named, toMachine);
            keptForResume = false;
        } else if (start.from == WindowJobStart::From::Section) {
            resume = start.section;
        }
        JobJournal journal(path, named, takesSamples);
        if (fromJournal) journal.continueFrom(*resume);
        const bool journaled = toMachine && journal.start().isEmpty();
        protocol.trackJob(journaled ? &journal : nullptr, resume);
        struct Untrack {
            MoveProtocol& protocol;
            ~Untrack() { protocol.trackJob(nullptr); }
        } untrack{protocol};
        try {
            job(host);
            protocol.requireSectionReached();
        } catch (const JobEnded&) {
            // A chosen start the job never reached sent nothing: no journal of it.
            if (journaled && (protocol.joined() || fromJournal)) {
                keptForResume = keepJournalForResume(protocol, m_program.link, journal).has_value();
            } else if (journaled) {
                journal.remove();
            }
            throw;
        }
        if (journaled) journal.remove();
    });
    if (keptForResume) showContinue(jobWords.isEmpty() ? continued : jobWords);
}
