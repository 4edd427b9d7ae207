#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/JobContinuation.h"
#include "link/ui/WindowJobHost.h"
#include "scanner/ui/Form2.h"

void Form2::addContinueControl(QGridLayout* jobGrid) {
    m_continue = new JobContinuation(host(), program(), this);
    jobGrid->addWidget(m_continue->button(), 4, 0, 1, 2);
    connect(m_continue, &JobContinuation::continueClicked, this,
            [this] { runScan(m_continue->resumeAt()); });
}

void Form2::runScan(std::optional<ResumeStart> resume) {
    if (!resume) {
        m_started = {{Text3->text(), Text4->text(), Text8->text(), Text9->text()},
                     Text6->text() + u',' + Text7->text(),
                     Check2->isChecked()};
    }
    const ScanStart& start = m_started;
    m_continue->run(
        [&](const JobHost&) {
            // Named as the batch command line names a scan.
            const ScanFieldTexts& scan = start.fields;
            return journalIdentity(
                QStringLiteral("scan"), QStringLiteral("scan"), {},
                {{QStringLiteral("mesh"), QStringLiteral("сетка"),
                  scan.meshWidth + u',' + scan.meshHeight},
                 {QStringLiteral("area"), QStringLiteral("область, мм"),
                  scan.areaWidth + u',' + scan.areaHeight},
                 {QStringLiteral("image"), QStringLiteral("размер картинки сканера"), start.image}},
                program().settings.values());
        },
        protocol(),
        [&](JobHost& host) {
            ScanJob job(host, protocol(), m_picture, m_record);
            job.setReturnToStart(start.returnToStart);
            job.setSampleShown([this](qint32 value) {
                Label9->setText(QStringLiteral("Данные: ") + QString::number(value));
            });
            job.ScanSurface(start.fields);
            publishScanMap();
        },
        resume, true);
}
