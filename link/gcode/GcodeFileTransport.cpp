#include "link/gcode/GcodeFileTransport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "Version.h"
#include "app/config/AtomicFile.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/job/JobHost.h"

namespace {

const QByteArray kOk = "OK\r\n";
// The G-code gathered before it goes to the temporary file in one write.
constexpr qsizetype kPendingBytes = 1 << 16;

// What a job's lines are, for a header without a described job.
QString kindOf(MoveRules window) {
    switch (window) {
        case MoveRules::Milling:
            return QStringLiteral("фрезерование");
        case MoveRules::Outlining:
            return QStringLiteral("обведение лазером");
        case MoveRules::Engraving:
            return QStringLiteral("гравирование лазером");
        case MoveRules::Scanner:
            break;
    }
    return QStringLiteral("сканирование");
}

}  // namespace

GcodeFileTransport::GcodeFileTransport(const ProgramSettings& settings) : m_stream(settings) {}

bool GcodeFileTransport::open(const QString& path) {
    if (path.isEmpty()) {
        m_openError = QStringLiteral("не задано имя файла (gcode:ФАЙЛ)");
        return false;
    }
    m_path = path;
    if (startBody()) return true;
    m_openError = QStringLiteral("в папку %1 нельзя записать: %2")
                      .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()), m_bodyError);
    return false;
}

std::optional<QString> GcodeFileTransport::describeFarEnd() {
    return QStringLiteral("В конце каждой работы будет записан файл %1.")
        .arg(QDir::toNativeSeparators(QFileInfo(m_path).absoluteFilePath()));
}

bool GcodeFileTransport::startBody() {
    const QFileInfo info(m_path);
    m_body = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                              info.fileName() + QStringLiteral(".XXXXXX"));
    m_jobLines = false;
    m_probed = false;
    m_pending.clear();
    m_bodyError.clear();
    // Unbuffered (the lines are gathered in m_pending instead), so that a disk that fills up
    // is seen at the write that failed, with the system's reason.
    QFile& body = *m_body;
    if (!body.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        m_bodyError = body.errorString();
        m_body.reset();  // nothing to write when a job ends
        return false;
    }
    for (const QByteArray& line : GcodeTranslator::opening()) append(line);
    return true;
}

void GcodeFileTransport::append(const QByteArray& line) {
    // After one failed write the file is lost anyway: no thousands of further failures.
    if (!m_body || !m_bodyError.isEmpty()) return;
    m_pending += line;
    m_pending += '\n';
    if (m_pending.size() >= kPendingBytes) writePending();
}

void GcodeFileTransport::writePending() {
    if (m_bodyError.isEmpty() && !writeWhole(*m_body, m_pending))
        m_bodyError = m_body->errorString();
    m_pending.clear();
}

qint64 GcodeFileTransport::write(const QByteArray& bytes) {
    for (const GcodeStream::Taken& taken : m_stream.take(bytes)) {
        if (!taken.step) {
            m_replies += "ERR\r\n";
            continue;
        }
        for (const QByteArray& line : taken.step->lines) append(line);
        if (taken.step->probe) {
            // No machine answers: the probe's rise is written against a temporary origin at the
            // height it started from, which G92.1 clears again.
            m_probed = true;
            append("G92 Z0");
            append(m_stream.translator().probingMove());
            append("G90");
            append("G0 Z0");
            append("G91");
            append("G92.1");
            m_replies += "0\r\n";
        }
        m_replies += kOk;
    }
    return bytes.size();
}

void GcodeFileTransport::readAvailable(QByteArray& into) {
    into += m_replies;
    m_replies.clear();
}

void GcodeFileTransport::describeLine(const LineMeaning& meaning) {
    m_stream.setMeaning(meaning);
    if (meaning.manual) return;
    m_jobLines = true;
    if (m_kind.isEmpty()) m_kind = kindOf(meaning.rules);
}

void GcodeFileTransport::noteStop(StopLevel level) {
    if (level != StopLevel::None) m_stream.translator().noteStopping();
}

void GcodeFileTransport::describeJob(const QString& job) {
    // What came before the job is not part of its file.
    startBody();
    m_job = job;
    m_kind.clear();
}

void GcodeFileTransport::endJob() {
    // The closing lines of a job: what the translator held, laser off, cutter out of the
    // material.
    GcodeTranslator& translator = m_stream.translator();
    for (const QByteArray& line : translator.finish() + translator.safeEnding()) append(line);
    const QString failure = m_jobLines ? commit() : QString();
    startBody();
    m_job.clear();
    m_kind.clear();
    if (!failure.isEmpty()) throw JobEnded(JobEnded::Reason::Refused, kErrorTitle, failure);
}

QByteArray GcodeFileTransport::header() const {
    const ProgramSettings& settings = m_stream.programSettings();
    QStringList lines;
    lines << QStringLiteral("cnc %1, %2")
                 .arg(QLatin1String(kVersionText),
                      QDateTime::currentDateTime().toString(Qt::ISODate));
    lines << QStringLiteral("работа: ") + (m_job.isEmpty() ? m_kind : m_job);
    lines << QStringLiteral("мм на шаг: X %1, Y %2, Z %3")
                 .arg(formatGeneral(settings.StepRatioX), formatGeneral(settings.StepRatioY),
                      formatGeneral(settings.StepRatioZ));
    for (const GcodeSettingKey& entry : kGcodeSettingKeys) {
        lines << QStringLiteral("%1 %2").arg(
            QString::fromUtf16(entry.caption),
            formatGeneral(m_stream.translator().settings().*entry.value));
    }
    if (m_probed) lines << QStringLiteral("замеры щупа: G92.1 сбрасывает смещение G92");
    QByteArray text;
    for (QString line : lines) {
        // A comment runs to the end of its line; parentheses would end GRBL's other kind.
        line.replace(u'\n', u' ').replace(u'\r', u' ');
        text += "; " + line.toUtf8() + '\n';
    }
    return text;
}

QString GcodeFileTransport::commit() {
    if (!m_body) return fileWriteFailure(m_path, QStringLiteral("временный файл не создан"));
    writePending();
    if (m_bodyError.isEmpty() && !m_body->seek(0)) m_bodyError = m_body->errorString();
    if (!m_bodyError.isEmpty()) return fileWriteFailure(m_path, m_bodyError);
    AtomicFile file(m_path);
    if (!file.open() || !file.write(header())) return file.errorMessage();
    while (!m_body->atEnd()) {
        const QByteArray chunk = m_body->read(1 << 16);
        if (chunk.isEmpty()) return fileWriteFailure(m_path, m_body->errorString());
        if (!file.write(chunk)) return file.errorMessage();
    }
    return file.commit() ? QString() : file.errorMessage();
}
