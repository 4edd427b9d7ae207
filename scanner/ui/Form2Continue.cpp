// The scanner window's "Продолжить" and "Начать с…": a scan goes on after a stop or a restart
// with the probe's answers its journal kept, or starts from a chosen grid point keeping the
// points before it from the window's last scan.

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
#include "scanner/ScanJournal.h"
#include "scanner/ScanOrder.h"
#include "scanner/ui/Form2.h"

namespace {

// The samples of `record` at the first `count` points in the order a scan probes them.
std::vector<qint32> samplesInScanOrder(const ScanRecord& record, qint64 count) {
    std::vector<qint32> samples;
    VisitScanGrid(record.samples.width, record.samples.height, [&](const ScanVisit& visit) {
        if (visit.kind == ScanVisit::Kind::Sample && qint64(samples.size()) < count)
            samples.push_back(record.samples.at(visit.i, visit.j));
    });
    return samples;
}

}  // namespace

void Form2::addContinueControl(QGridLayout* jobGrid) {
    m_continue = new JobContinuation(
        host(), program(),
        {{QStringLiteral("Сканировать")},
         QStringLiteral("Точка сетки (по порядку обхода):"),
         [this] {
             const ScanGridCheck grid = CheckScanGrid(Text3->text(), Text4->text());
             return qint64(grid.meshWidth) * grid.meshHeight;
         },
         QStringLiteral("Начать не с чего: размеры сетки не годятся для сканирования.")},
        this);
    jobGrid->addWidget(m_continue->button(), 5, 0);
    jobGrid->addWidget(m_continue->startFromButton(), 5, 1);
    connect(m_continue, &JobContinuation::continueClicked, this, [this] {
        if (m_continue->continuedJob() == u"scan") runScan(WindowJobStart::journal());
    });
    connect(m_continue, &JobContinuation::startFromChosen, this,
            [this](int, qint64 point) { StartFrom_Click(point); });
}

void Form2::offerJournal(const JobJournalRecord& journal) {
    const ScanJournalFields fields = scanFieldsOfJournal(journal);
    Text3->setText(fields.scan.meshWidth);
    Text4->setText(fields.scan.meshHeight);
    Text8->setText(fields.scan.areaWidth);
    Text9->setText(fields.scan.areaHeight);
    Text6->setText(fields.imageWidth);
    Text7->setText(fields.imageHeight);
    ApplyPictureSize();
    m_started.reset();
    m_continue->offer(journal);
}

void Form2::StartFrom_Click(qint64 point) {
    const ScanGridCheck grid = CheckScanGrid(Text3->text(), Text4->text());
    const qint64 before = point - 1;
    const bool sameGrid =
        m_record.samples.width == grid.meshWidth && m_record.samples.height == grid.meshHeight;
    if (before > 0 && grid.refusal.isEmpty() && (!sameGrid || m_record.taken < before)) {
        // The points before the chosen one are not probed again: an earlier scan of this grid
        // must have taken them.
        showMessage(kErrorTitle,
                    sameGrid ? QStringLiteral("Начать с точки %1 нельзя: последнее сканирование "
                                              "этой сетки сняло только %2 точек. Начните с точки "
                                              "не дальше %3.")
                                   .arg(point)
                                   .arg(m_record.taken)
                                   .arg(m_record.taken + 1)
                             : QStringLiteral("Начать с точки %1 нельзя: точки до неё берутся из "
                                              "прежнего сканирования сетки %2 × %3, а его в окне "
                                              "нет. Начните с точки 1.")
                                   .arg(point)
                                   .arg(grid.meshWidth)
                                   .arg(grid.meshHeight));
        return;
    }
    ResumeStart start = startFromSection(point);
    start.samples = samplesInScanOrder(m_record, before);
    runScan(WindowJobStart::fromSection(std::move(start)));
}

void Form2::runScan(const WindowJobStart& start) {
    // Going on in the same session reads the fields the scan started with; after a restart
    // (offerJournal) the window's, which the journal must match.
    if (start.from != WindowJobStart::From::Journal || !m_started) {
        m_started = ScanStart{{Text3->text(), Text4->text(), Text8->text(), Text9->text()},
                              Text6->text(),
                              Text7->text(),
                              Check2->isChecked()};
    }
    const ScanStart& started = *m_started;
    // The points a chosen start keeps come from the scan shown before it.
    const ScanRecord earlier =
        start.from == WindowJobStart::From::Section ? m_record : ScanRecord{};
    m_continue->run(
        [&](const JobHost&) {
            // Named as the batch command line names a scan.
            return journalIdentity(
                QStringLiteral("scan"), QStringLiteral("scan"), {},
                scanJournalEntries({started.fields, started.imageWidth, started.imageHeight}),
                program().settings.values());
        },
        protocol(),
        [&](JobHost& host) {
            ScanJob job(host, protocol(), m_picture, m_record);
            job.setReturnToStart(started.returnToStart);
            job.setSampleShown([this](qint32 value) {
                Label9->setText(QStringLiteral("Данные: ") + QString::number(value));
            });
            if (start.from == WindowJobStart::From::Section)
                job.keepEarlierPoints(earlier, qint64(start.section.samples.size()));
            job.ScanSurface(started.fields);
            publishScanMap();
        },
        start, true);
}
