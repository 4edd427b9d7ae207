#include "link/protocol/JobJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "app/config/AtomicFile.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"

namespace {

constexpr int kWholeEveryMs = 250;
const QByteArray kHeader = "cnc job journal 1\n";
const QByteArray kSamplesKey = "samples";
const QByteArray kSamplesLineKey = "samples_line";
const QByteArray kReportedKey = "reported_point";

// The count and the tool, always of the same length: "lines=…" of 19 digits, then the axes.
QByteArray countLine(std::int64_t lines, const ToolState& tool) {
    char text[160];
    const int size = std::snprintf(
        text, sizeof text, "lines=%019lld x=%+020lld y=%+020lld z=%+020lld laser=%d\n",
        static_cast<long long>(lines), static_cast<long long>(tool.at.x),
        static_cast<long long>(tool.at.y), static_cast<long long>(tool.at.z), tool.laserOn ? 1 : 0);
    return QByteArray(text, size);
}

std::optional<std::int64_t> wholeNumber(const QByteArray& text) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return value;
}

// Reads countLine's text into `record`; false when it is not one.
bool readCountLine(const QByteArray& line, JobJournalRecord& record) {
    std::optional<std::int64_t> values[5];
    const char* names[] = {"lines", "x", "y", "z", "laser"};
    const QList<QByteArray> words = line.split(' ');
    if (words.size() != 5) return false;
    for (int i = 0; i < 5; ++i) {
        const QByteArray prefix = QByteArray(names[i]) + '=';
        if (!words[i].startsWith(prefix)) return false;
        values[i] = wholeNumber(words[i].mid(prefix.size()));
        if (!values[i]) return false;
    }
    if (*values[0] < 0) return false;
    record.jobLines = *values[0];
    record.machine = {{*values[1], *values[2], *values[3]}, *values[4] != 0};
    return true;
}

}  // namespace

QString pixelHash(const std::uint8_t* bytes, std::size_t size) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(size)));
    return QString::fromLatin1(hash.result().toHex().left(32));
}

QList<JournalEntry> journalIdentity(const QString& window, const QString& job,
                                    const JournalPicture& picture,
                                    const QList<JournalEntry>& fields,
                                    const ProgramSettings& settings) {
    QList<JournalEntry> entries = {
        {QStringLiteral("window"), QStringLiteral("окно"), window},
        {QStringLiteral("job"), QStringLiteral("работа"), job},
    };
    if (!picture.path.isEmpty()) {
        entries << JournalEntry{QStringLiteral("picture"), QStringLiteral("картинка"),
                                QFileInfo(picture.path).absoluteFilePath()};
    }
    if (!picture.hash.isEmpty()) {
        entries << JournalEntry{QStringLiteral("picture_size"), QStringLiteral("размер картинки"),
                                QStringLiteral("%1x%2").arg(picture.width).arg(picture.height)}
                << JournalEntry{QStringLiteral("picture_hash"), QStringLiteral("пиксели картинки"),
                                picture.hash};
    }
    entries << fields;
    const std::pair<const char*, double> ratios[] = {{"SM_X_ratio", settings.StepRatioX},
                                                     {"SM_Y_ratio", settings.StepRatioY},
                                                     {"SM_Z_ratio", settings.StepRatioZ}};
    for (const auto& [key, ratio] : ratios) {
        entries << JournalEntry{QString::fromLatin1(key),
                                QStringLiteral("шаг двигателя %1").arg(QChar(key[3])),
                                formatGeneral(ratio)};
    }
    for (const GcodeSettingKey& key : kGcodeSettingKeys) {
        entries << JournalEntry{QString::fromLatin1(key.key), QString::fromUtf16(key.caption),
                                formatGeneral(settings.Gcode.*key.value)};
    }
    entries << JournalEntry{QStringLiteral("port"), QStringLiteral("порт"), settings.PortName};
    return entries;
}

QString JobJournalRecord::value(const QString& key) const {
    for (const auto& [name, text] : identity)
        if (name == key) return text;
    return {};
}

QString journalPathFor(const QString& configPath) {
    return QFileInfo(configPath).absoluteDir().filePath(QStringLiteral("cnc.journal"));
}

std::optional<JobJournalRecord> readJobJournal(const QString& path, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<JobJournalRecord> {
        if (error) *error = why;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("журнал работы %1 не найден").arg(path));
    const QList<QByteArray> lines = file.readAll().split('\n');
    JobJournalRecord record;
    if (lines.size() < 2 || lines[0] + '\n' != kHeader || !readCountLine(lines[1], record))
        return fail(QStringLiteral("файл %1 — не журнал работы").arg(path));
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        if (key == kSamplesKey) {
            record.takesSamples = true;
            for (const QByteArray& sample : value.split(',')) {
                if (sample.isEmpty()) continue;
                const std::optional<std::int64_t> number = wholeNumber(sample);
                if (!number) return fail(QStringLiteral("файл %1 — не журнал работы").arg(path));
                record.samples.push_back(qint32(*number));
            }
        } else if (key == kReportedKey) {
            record.reportedPoint = value == "1";
        } else if (key == kSamplesLineKey) {
            record.samplesLine = wholeNumber(value).value_or(0);
        } else {
            record.identity.append({QString::fromUtf8(key),
                                    QString::fromUtf8(QByteArray::fromPercentEncoding(value))});
        }
    }
    return record;
}

QStringList journalDifferences(const JobJournalRecord& journal, const QList<JournalEntry>& now) {
    QStringList differences;
    for (const JournalEntry& entry : now) {
        const QString before = journal.value(entry.key);
        if (before == entry.value) continue;
        differences << QStringLiteral("%1: в журнале «%2», сейчас «%3»")
                           .arg(entry.caption, before, entry.value);
    }
    // What the journal names and this job does not (a height map the job no longer follows).
    for (const auto& [key, value] : journal.identity) {
        const bool named = std::any_of(now.begin(), now.end(),
                                       [&](const JournalEntry& entry) { return entry.key == key; });
        if (!named && !value.isEmpty())
            differences << QStringLiteral("%1: в журнале «%2», сейчас нет").arg(key, value);
    }
    return differences;
}

ResumeStart resumeStartOf(const JobJournalRecord& journal) {
    ResumeStart start;
    start.skipLines = journal.jobLines;
    if (journal.takesSamples) {
        // Answers read after the last whole write are lost: those points are probed again.
        start.skipLines = std::min(journal.jobLines, journal.samplesLine);
        start.samples = journal.samples;
    }
    start.machine = journal.machine;
    return start;
}

JobJournal::JobJournal(QString path, QList<JournalEntry> identity, bool takesSamples)
    : m_path(std::move(path)), m_identity(std::move(identity)), m_takesSamples(takesSamples) {}

JobJournal::~JobJournal() {
    if (m_fd >= 0) ::close(m_fd);
}

QByteArray JobJournal::text() const {
    QByteArray text = kHeader + countLine(m_jobLines, m_machine);
    for (const JournalEntry& entry : m_identity)
        text += entry.key.toUtf8() + '=' + entry.value.toUtf8().toPercentEncoding(" /:,.") + '\n';
    if (m_reportedPoint) text += kReportedKey + "=1\n";
    if (m_takesSamples) {
        QByteArray samples;
        for (const qint32 sample : m_samples) {
            if (!samples.isEmpty()) samples += ',';
            samples += QByteArray::number(sample);
        }
        text += kSamplesKey + '=' + samples + '\n';
        text += kSamplesLineKey + '=' + QByteArray::number(m_samplesLine) + '\n';
    }
    return text;
}

QString JobJournal::writeWhole() {
    const QString error = writeFileAtomically(m_path, text());
    m_sinceWritten.start();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!error.isEmpty()) return error;
    // The count line of the file now in place is the one overwritten after every line.
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CLOEXEC);
    return {};
}

void JobJournal::writeCount() {
    if (m_fd < 0) return;
    const QByteArray line = countLine(m_jobLines, m_machine);
    if (::pwrite(m_fd, line.constData(), size_t(line.size()), off_t(kHeader.size())) !=
        line.size()) {
        ::close(m_fd);
        m_fd = -1;
    }
}

QString JobJournal::start() {
    const QString error = writeWhole();
    m_failed = !error.isEmpty();
    return error;
}

void JobJournal::lineCarried(std::int64_t jobLines, const ToolState& machine) {
    // A skipped line of a resumed job: the journal already says where the job stands.
    if (jobLines < m_continuedFrom) return;
    // From here the machine moves again; a GRBL may run ahead of the lines sent.
    m_reportedPoint = false;
    m_jobLines = jobLines;
    m_machine = machine;
    if (m_failed) return;
    if (m_sinceWritten.elapsed() >= kWholeEveryMs) {
        writeWhole();
    } else {
        writeCount();
    }
}

void JobJournal::sampleRead(std::int64_t jobLines, qint32 sample) {
    if (jobLines <= m_continuedFrom && m_continuedFrom > 0) return;  // kept from the journal
    m_samples.push_back(sample);
    m_samplesLine = jobLines;
}

void JobJournal::remove() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_failed) QFile::remove(m_path);
}

void JobJournal::placeAt(const ResumeStart& start) {
    m_jobLines = start.skipLines;
    m_machine = start.machine;
    m_reportedPoint = true;
}

void JobJournal::continueFrom(const ResumeStart& start) {
    m_continuedFrom = start.skipLines;
    m_jobLines = start.skipLines;
    m_machine = start.machine;
    m_samples = start.samples;
    m_samplesLine = start.skipLines;
    // A journal on a port whose machine runs ahead (GRBL) is continued only from a reported
    // point, and the machine has not moved since.
    m_reportedPoint = true;
}

void JobJournal::keep() {
    if (!m_failed) writeWhole();
}
