#include <QLineEdit>

#include "app/config/ProgramSettings.h"
#include "engrave/PictureEngraving.h"
#include "engrave/ui/Form3.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/WindowJobHost.h"

void Form3::runEngraving(const WindowJobStart& start) {
    // Going on in the same session starts again from the picture the job started from.
    if (start.from != WindowJobStart::From::Journal || m_started.isEmpty()) m_started = m_unmarked;
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
        start);
    ShowPicture();
}

void Form3::Continue_Click() {
    if (m_continue->continuedJob() == u"engrave") runEngraving(WindowJobStart::journal());
}

void Form3::StartFrom_Click(qint64 row) {
    runEngraving(WindowJobStart::fromSection(startFromSection(row)));
}

void Form3::offerJournal(const JobJournalRecord& journal) {
    Text6->setText(journal.value(QStringLiteral("width")));
    const QString path = journal.value(QStringLiteral("picture"));
    if (!path.isEmpty()) {
        Text1->setText(path);
        LoadEngravingPicture(path);
    }
    m_started = {};
    m_continue->offer(journal);
}
