#include "link/ui/JobContinuation.h"

#include <QPushButton>

#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/JobResume.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/WindowJobHost.h"

JobContinuation::JobContinuation(WindowJobHost& host, ProgramContext& program,
                                 QWidget* buttonParent)
    : QObject(buttonParent),
      m_host(host),
      m_program(program),
      m_button(new QPushButton(QStringLiteral("Продолжить"), buttonParent)) {
    m_button->setObjectName(QStringLiteral("ContinueButton"));
    m_button->setToolTip(
        QStringLiteral("Продолжить остановленную работу с первой строки, которую станок не "
                       "получил; инструмент подводится туда безопасно"));
    m_button->hide();
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_resume) emit continueClicked();
    });
    host.addJobControl(m_button);
}

void JobContinuation::run(const Identity& identity, MoveProtocol& protocol,
                          const std::function<void(JobHost&)>& job,
                          std::optional<ResumeStart> resume, bool takesSamples) {
    m_resume.reset();
    m_button->hide();
    m_host.runJob([&](JobHost& host) {
        JobJournal journal(journalPathFor(m_program.config.ConfigPath()), identity(host),
                           takesSamples);
        const bool journaled =
            host.outputEnabled() && m_program.link.isOpen() && journal.start().isEmpty();
        protocol.trackJob(journaled ? &journal : nullptr, resume);
        struct Untrack {
            MoveProtocol& protocol;
            ~Untrack() { protocol.trackJob(nullptr); }
        } untrack{protocol};
        try {
            job(host);
        } catch (const JobEnded&) {
            if (journaled) m_resume = keepJournalForResume(protocol, m_program.link, journal);
            throw;
        }
        if (journaled) journal.remove();
    });
    m_button->setVisible(m_resume.has_value());
}
