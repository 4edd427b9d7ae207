#include "link/gcode/GcodeFileTransport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

#include "Version.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"

namespace {

const QByteArray kOk = "OK\r\n";

}  // namespace

GcodeFileTransport::GcodeFileTransport(const ProgramSettings& settings) : m_stream(settings) {}

GcodeFileTransport::~GcodeFileTransport() {
    if (!m_committed) commit();
}

bool GcodeFileTransport::open(const QString& path) {
    if (path.isEmpty()) return false;
    m_path = path;
    const QFileInfo info(path);
    m_body = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                              info.fileName() + QStringLiteral(".XXXXXX"));
    if (!m_body->open()) {
        m_body.reset();  // nothing to commit when the transport goes
        return false;
    }
    for (const QByteArray& line : GcodeTranslator::opening()) append(line);
    return true;
}

void GcodeFileTransport::append(const QByteArray& line) {
    m_body->write(line + '\n');
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
    QString kind = QStringLiteral("ручные перемещения");
    if (!meaning.manual) {
        switch (meaning.rules) {
            case MoveRules::Milling:
                kind = QStringLiteral("фрезерование");
                break;
            case MoveRules::Outlining:
                kind = QStringLiteral("обведение лазером");
                break;
            case MoveRules::Engraving:
                kind = QStringLiteral("гравирование лазером");
                break;
            case MoveRules::Scanner:
                kind = QStringLiteral("сканирование");
                break;
        }
    }
    if (!m_windows.contains(kind)) m_windows.append(kind);
}

void GcodeFileTransport::describeJob(const QString& job) {
    if (!m_jobs.contains(job)) m_jobs.append(job);
}

QByteArray GcodeFileTransport::header() const {
    const ProgramSettings& settings = m_stream.programSettings();
    QStringList lines;
    lines << QStringLiteral("cnc %1, %2")
                 .arg(QLatin1String(kVersionText),
                      QDateTime::currentDateTime().toString(Qt::ISODate));
    for (const QString& job : m_jobs) lines << QStringLiteral("работа: ") + job;
    if (m_jobs.isEmpty())
        lines << QStringLiteral("работа: ") + m_windows.join(QStringLiteral(", "));
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
    m_committed = true;
    if (!m_body) return false;
    // The closing lines of a stream: laser off, cutter out of the material.
    GcodeTranslator& translator = m_stream.translator();
    QList<QByteArray> ending = translator.safeEnding();
    if (!ending.contains("M5")) ending.append("M5");
    for (const QByteArray& line : ending) append(line);
    if (!m_body->flush() || !m_body->seek(0)) return false;
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
