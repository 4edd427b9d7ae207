#include "link/GcodeFileTransport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include "Version.h"
#include "app/NumberText.h"
#include "app/ProgramSettings.h"

namespace {

const QByteArray kOk = "OK\r\n";

// What a job's lines are, for a header without a described job.
QString kindOf(MoveWindow window) {
    switch (window) {
        case MoveWindow::Milling:
            return QStringLiteral("фрезерование");
        case MoveWindow::Outlining:
            return QStringLiteral("обведение лазером");
        case MoveWindow::Engraving:
            return QStringLiteral("гравирование лазером");
        case MoveWindow::Scanner:
            break;
    }
    return QStringLiteral("сканирование");
}

}  // namespace

GcodeFileTransport::GcodeFileTransport() : m_stream(Settings().Gcode) {}

bool GcodeFileTransport::open(const QString& path) {
    if (path.isEmpty()) return false;
    m_path = path;
    return startBody();
}

bool GcodeFileTransport::startBody() {
    const QFileInfo info(m_path);
    m_body = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                              info.fileName() + QStringLiteral(".XXXXXX"));
    m_jobLines = false;
    m_probed = false;
    if (!m_body->open()) {
        m_body.reset();  // nothing to write when a job ends
        return false;
    }
    for (const QByteArray& line : GcodeTranslator::opening()) append(line);
    return true;
}

void GcodeFileTransport::append(const QByteArray& line) {
    if (m_body) m_body->write(line + '\n');
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
    if (m_kind.isEmpty()) m_kind = kindOf(meaning.window);
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
    const bool write = m_jobLines;
    const bool written = !write || commit();
    startBody();
    m_job.clear();
    m_kind.clear();
    if (!written) {
        throw JobEnded(JobEnded::Reason::Refused, kErrorTitle,
                       QStringLiteral("Не удалось записать файл G-кода %1.").arg(m_path));
    }
}

QByteArray GcodeFileTransport::header() const {
    const ProgramSettings& settings = Settings();
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

bool GcodeFileTransport::commit() {
    if (!m_body || !m_body->flush() || !m_body->seek(0)) return false;
    QSaveFile file(m_path);
    // Unbuffered, so that a short write on a full disk is seen here and the old file stays.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const QByteArray head = header();
    if (file.write(head) != head.size()) {
        file.cancelWriting();
        return false;
    }
    while (!m_body->atEnd()) {
        const QByteArray chunk = m_body->read(1 << 16);
        if (chunk.isEmpty() || file.write(chunk) != chunk.size()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}
