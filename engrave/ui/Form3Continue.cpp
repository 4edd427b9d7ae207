#include <QLineEdit>

#include "app/config/ProgramSettings.h"
#include "engrave/PictureEngraving.h"
#include "engrave/ui/Form3.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/WindowJobHost.h"

void Form3::runEngraving(std::optional<ResumeStart> resume) {
    if (!resume) m_started = m_unmarked;
    const QString path = Text1->text();
    m_continue->run(
        [&](const JobHost& host) {
            const JournalPicture picture{path, m_started.width, m_started.height,
                                         pixelHash(m_started.bytes.data(), m_started.bytes.size())};
            return journalIdentity(QStringLiteral("engrave"), QStringLiteral("engrave"), picture,
                                   {{QStringLiteral("width"), QStringLiteral("ширина"),
                                     host.fieldText(JobField::FinishedWidth)}},
                                   program().settings.values());
        },
        protocol(),
        [&](JobHost& host) {
            m_picture = m_started;
            ShowPicture();
            EngravePicture(m_picture, host, protocol());
        },
        resume);
    ShowPicture();
}

void Form3::Continue_Click() {
    if (m_continue->resumeAt()) runEngraving(m_continue->resumeAt());
}
