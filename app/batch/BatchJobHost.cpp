#include "app/batch/BatchJobHost.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <iterator>
#include <optional>
#include <thread>

#include "app/batch/BatchOutput.h"
#include "app/config/Config.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/job/DryRunNote.h"
#include "link/protocol/JobResume.h"
#include "link/protocol/MachineJob.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"
#include "link/serial/ExchangeLog.h"
#include "link/serial/SerialDriver.h"

namespace {

constexpr int kProgressBarWidth = 30;
constexpr int kTerminalProgressEveryMs = 100;
constexpr int kLogProgressEveryMs = 1000;

// Ctrl+C presses (and stop signals) since the host was made; written only by the handler.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void countInterrupt(int) {
    g_interrupts.fetch_add(1, std::memory_order_relaxed);
}

// Ctrl+C, and SIGTERM and SIGHUP (a log-out, a closed terminal), which stop a job as it does.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previousHandlers[std::size(kStopSignals)]{};

// The port of a batch job, with the exchange log and a count of the lines written.
class BatchPort final : public SerialTap {
public:
    BatchPort(MachineLink& link, const QString& portName) : m_link(link), m_portName(portName) {}
    ~BatchPort() override {
        if (m_link.isOpen()) {
            m_link.driver().setTap(m_link.PortHandle(), nullptr);
            m_link.close();
        }
        if (m_log) m_log->finish();
    }

    MachineLink& link() { return m_link; }

    // Prints the reason and returns false when the log file or the port cannot be opened.
    bool open(const BatchOptions& options) {
        if (!options.log.isEmpty()) {
            m_logFile.setFileName(options.log);
            if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                printError(QStringLiteral("Не удаётся записать файл %1\n").arg(options.log));
                return false;
            }
            m_log.emplace(m_logFile);
        }
        if (options.dryRun) return true;
        if (m_link.open(m_portName) <= 0) {
            const QString reason = m_link.driver().openError();
            printError(QStringLiteral("Ошибка открытия Com-порта: %1%2\n")
                           .arg(m_portName, reason.isEmpty() ? QString() : " (" + reason + ')'));
            return false;
        }
        m_link.driver().setTap(m_link.PortHandle(), this);
        return true;
    }

    void sent(const QByteArray& bytes) override {
        ++m_linesSent;
        if (m_log) m_log->sent(bytes);
    }
    void received(const QByteArray& bytes) override {
        if (m_log) m_log->received(bytes);
    }
    int linesSent() const { return m_linesSent; }

private:
    MachineLink& m_link;
    QString m_portName;
    int m_linesSent = 0;
    QFile m_logFile;
    std::optional<ExchangeLog> m_log;
};

// A job's refusal names the window's fields ("поле «Глубина»"); the command line has options.
QString inCommandLineWords(QString message) {
    const std::pair<const char16_t*, const char*> captions[] = {
        {u"Ширина", "--width"}, {u"Глубина", "--depth"}, {u"Диаметр, мм", "--diameter"}};
    for (const auto& [caption, option] : captions) {
        const QString quoted = QStringLiteral("«%1»").arg(QString::fromUtf16(caption));
        message.replace(QStringLiteral("поле ") + quoted, QLatin1String(option));
        message.replace(quoted, QLatin1String(option));
    }
    return message.replace(QStringLiteral("поля --"), QStringLiteral("--"));
}

}  // namespace

BatchJobHost::BatchJobHost(const BatchOptions& options, const ProgramSettings& settings)
    : m_options(options),
      m_dryRun(options.dryRun),
      m_timeoutMs(int(std::max(
          1.0, std::min(std::ceil((options.timeoutSeconds > 0 ? options.timeoutSeconds
                                                              : settings.ReplyTimeoutSeconds) *
                                  1000),
                        2e9)))),
      m_terminal(::isatty(STDERR_FILENO) == 1) {
    g_interrupts.store(0);
    struct sigaction action {};
    action.sa_handler = &countInterrupt;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &g_previousHandlers[i]);
    m_sinceProgress.start();
    startClock();
}

void BatchJobHost::startClock() {
    m_clock.start(clockMs());
}

BatchJobHost::~BatchJobHost() {
    endProgress();
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &g_previousHandlers[i], nullptr);
}

void BatchJobHost::letEventsRun() {
    QCoreApplication::processEvents();
}

void BatchJobHost::sleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

StopLevel BatchJobHost::stopLevel() const {
    const int presses = g_interrupts.load(std::memory_order_relaxed);
    return presses == 0 ? StopLevel::None : presses == 1 ? StopLevel::Stop : StopLevel::Abandon;
}

void BatchJobHost::reportProgress(const JobProgress& progress) {
    const ProgressTimes times = m_clock.report(progress, clockMs());
    const bool last = progress.total > 0 && progress.done >= progress.total;
    const int every = m_terminal ? kTerminalProgressEveryMs : kLogProgressEveryMs;
    if (!last && m_progressShown && m_sinceProgress.elapsed() < every) return;
    m_sinceProgress.restart();
    const QString text = progressLine(progress, times);
    if (!m_terminal) {
        printError(text + u'\n');
        m_progressShown = true;
        return;
    }
    QString bar;
    if (progress.total > 0) {
        const auto filled =
            int(kProgressBarWidth * std::min(progress.done, progress.total) / progress.total);
        bar = QStringLiteral("[%1%2] ").arg(QString(filled, u'#'),
                                            QString(kProgressBarWidth - filled, u' '));
    }
    // "\r" returns to the start of the line, "\x1b[K" clears what an older text left there.
    printError(QStringLiteral("\r") + bar + text + QStringLiteral("\x1b[K"));
    m_progressShown = true;
}

void BatchJobHost::endProgress() {
    if (m_terminal && m_progressShown) printError(QStringLiteral("\n"));
    m_progressShown = false;
}

void BatchJobHost::showMessage(const MessageTitle& title, const QString& text) {
    endProgress();
    printError(title.toString() + QStringLiteral(": ") + text + u'\n');
}

QString BatchJobHost::jobDescription() const {
    QStringList parts{m_jobTitle};
    const std::pair<JobField, const char16_t*> captions[] = {
        {JobField::FinishedWidth, u"ширина %1 мм"},
        {JobField::Depth, u"глубина %1 мм"},
        {JobField::Diameter, u"фреза %1 мм"},
    };
    for (const auto& [field, caption] : captions)
        if (m_fields.contains(field)) parts << QString::fromUtf16(caption).arg(m_fields[field]);
    return parts.join(QStringLiteral(", "));
}

QString BatchJobHost::commandLineMessage(const JobEnded& ended) const {
    if (!ended.field()) return ended.message();
    struct FieldOption {
        JobField field;
        const char* option;
        std::optional<QString> BatchOptions::*value;
        const char16_t* meaning;
    };
    static const FieldOption kFieldOptions[] = {
        {JobField::FinishedWidth, "--width", &BatchOptions::width, u"ширина готового изображения"},
        {JobField::Depth, "--depth", &BatchOptions::depth, u"глубина фрезерования"},
        {JobField::Diameter, "--diameter", &BatchOptions::diameter, u"диаметр фрезы"},
    };
    for (const FieldOption& entry : kFieldOptions) {
        if (entry.field != *ended.field()) continue;
        const QString option = QLatin1String(entry.option);
        const QString text = fieldText(entry.field);
        const bool given = (m_options.*entry.value).has_value();
        if (!given) {
            return ended.message() + QStringLiteral(
                                         " Значение «%1» взято из файла настроек; "
                                         "другое задаёт %2.")
                                         .arg(text, option);
        }
        if (!parseNumber(text)) {
            return QStringLiteral("%1 %2: значение не число (%3 в мм).")
                .arg(option, text, QString::fromUtf16(entry.meaning));
        }
        return inCommandLineWords(ended.message()) +
               QStringLiteral(" Задано: %1 %2.").arg(option, text);
    }
    return ended.message();
}

QList<JournalEntry> BatchJobHost::journalFields() const {
    const std::pair<JobField, const char16_t*> captions[] = {
        {JobField::FinishedWidth, u"ширина"},
        {JobField::Depth, u"глубина"},
        {JobField::Diameter, u"диаметр фрезы"},
    };
    const char* keys[] = {"width", "depth", "diameter"};
    QList<JournalEntry> fields;
    for (std::size_t i = 0; i < std::size(captions); ++i) {
        const auto& [field, caption] = captions[i];
        if (m_fields.contains(field))
            fields << JournalEntry{QLatin1String(keys[i]), QString::fromUtf16(caption),
                                   m_fields[field]};
    }
    // A job over a height map makes other lines: the map's file, its contents and the start
    // on it belong to the job as much as its sizes.
    if (!m_options.surface.isEmpty()) {
        QFile map(m_options.surface);
        const QByteArray contents = map.open(QIODevice::ReadOnly) ? map.readAll() : QByteArray();
        const QString hash = QString::fromLatin1(
            QCryptographicHash::hash(contents, QCryptographicHash::Sha1).toHex().left(16));
        fields << JournalEntry{QStringLiteral("surface"), QStringLiteral("карта высот"),
                               QFileInfo(m_options.surface).absoluteFilePath() + u' ' + hash}
               << JournalEntry{QStringLiteral("surface_offset"), QStringLiteral("начало на карте"),
                               m_options.surfaceOffset.value_or(QString())};
    }
    return fields;
}

namespace {

// The journal of a batch job and, with --resume, where it goes on; refused (the reason printed)
// when --resume finds no journal or one of another job.
struct BatchJournal {
    std::optional<JobJournal> journal;
    std::optional<ResumeStart> resume;
    bool refused = false;
};

void openBatchJournal(ProgramContext& program, const BatchOptions& options,
                      const BatchJobHost& host, BatchJournal& result) {
    const QList<JournalEntry>& identity = host.journalIdentity();
    if (options.resume && (identity.isEmpty() || options.dryRun)) {
        printError(QStringLiteral("--resume: продолжить можно только работу на станке\n"));
        result.refused = true;
        return;
    }
    if (identity.isEmpty() || options.dryRun) {
        if (options.from) result.resume = startFromSection(*options.from);
        return;
    }
    const QString path = journalPathFor(program.config.ConfigPath());
    if (options.resume) {
        QString refusal;
        result.resume = resumeFromJournal(path, identity, refusal);
        if (!result.resume) {
            printError(refusal + u'\n');
            result.refused = true;
            return;
        }
    }
    // Started from a chosen figure or row: the machine stands at the job's start.
    if (options.from) result.resume = startFromSection(*options.from);
    result.journal.emplace(path, identity, host.journalTakesSamples());
    if (options.resume) result.journal->continueFrom(*result.resume);
}

}  // namespace

int runBatchJob(ProgramContext& program, const BatchOptions& options, BatchJobHost& host,
                MoveRules rules, const BatchJob& job) {
    QElapsedTimer clock;
    clock.start();
    int status = kExitDone;
    int linesSent = 0;
    BatchJournal journal;
    openBatchJournal(program, options, host, journal);
    if (journal.refused) return kExitFailed;
    QString resumed;
    {
        BatchPort port(program.link, program.settings.values().PortName);
        if (!port.open(options)) return kExitFailed;
        if (journal.journal) {
            const QString error = journal.journal->start();
            if (!error.isEmpty()) {
                printError(QStringLiteral("Журнал работы не ведётся: %1\n").arg(error));
                journal.journal.reset();
            }
        }
        host.startClock();
        SerialDriver& driver = program.link.driver();
        const int handle = program.link.PortHandle();
        driver.describeJob(handle, host.jobDescription());
        try {
            MoveProtocol protocol(rules, host, program.link, program.settings.values());
            protocol.trackJob(journal.journal ? &*journal.journal : nullptr, journal.resume);
            const auto noteResume = [&] {
                if (!journal.resume) return;
                if (journal.resume->fromSection > 0) {
                    // A start the job never reached is refused with its own message.
                    if (!protocol.joined()) return;
                    resumed =
                        QStringLiteral("Начато с номера %1 после строки %2; подвод: %3 стр.\n")
                            .arg(journal.resume->fromSection)
                            .arg(protocol.skippedLines())
                            .arg(protocol.joinLines());
                    return;
                }
                resumed = QStringLiteral("Продолжено после строки %1 из журнала; подвод: %2 стр.\n")
                              .arg(journal.resume->skipLines)
                              .arg(protocol.joinLines());
            };
            bool sectionMissed = false;
            const auto keepJournal = [&](bool ended) {
                if (!journal.journal) return;
                // A chosen start ended before its point sent nothing; a resume keeps its point.
                if (ended && !sectionMissed && (protocol.joined() || options.resume)) {
                    keepJournalForResume(protocol, program.link, *journal.journal);
                } else {
                    journal.journal->remove();
                }
            };
            try {
                RunMachineJob(host, program.link, [&] {
                    try {
                        job(host, protocol);
                        // A chosen start the job never reached sent nothing: no journal of it.
                        if (!protocol.joined()) sectionMissed = true;
                        protocol.requireSectionReached();
                    } catch (const JobEnded&) {
                        // The job's own message is the one shown.
                        try {
                            driver.endJob(handle);
                        } catch (const JobEnded&) {
                        }
                        throw;
                    }
                    driver.endJob(handle);
                });
            } catch (const JobEnded&) {
                noteResume();
                keepJournal(true);
                throw;
            }
            noteResume();
            keepJournal(false);
        } catch (const JobEnded& ended) {
            host.endProgress();
            printError(host.commandLineMessage(ended) + u'\n');
            status = kExitFailed;
        }
        linesSent = port.linesSent();
    }
    host.endProgress();
    printError(resumed);
    if (status == kExitDone && host.stopLevel() != StopLevel::None) {
        printError(QStringLiteral("Остановлено по Ctrl+C (или сигналу)\n"));
        status = kExitFailed;
    }
    QString summary = QStringLiteral("Отправлено строк: %1, время: %2 с")
                          .arg(linesSent)
                          .arg(formatGeneral(std::round(clock.elapsed() / 10.0) / 100.0));
    if (options.dryRun) summary += QStringLiteral(". ") + dryRunNote();
    printError(summary + u'\n');
    return status;
}

int runBatchJobWithPreview(ProgramContext& program, const BatchOptions& options, BatchJobHost& host,
                           MoveRules rules, const PixelBuffer& result, const BatchJob& job) {
    int status = runBatchJob(program, options, host, rules, job);
    if (!options.preview.isEmpty() && !writePreview(options.preview, imageView(result)))
        status = kExitFailed;
    return status;
}
