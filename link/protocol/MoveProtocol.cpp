#include "link/protocol/MoveProtocol.h"

#include <cmath>
#include <limits>

#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineJob.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/ProbeReply.h"
#include "link/protocol/ReplyWait.h"
#include "link/serial/SerialDriver.h"

namespace {

constexpr int kPollPauseMs = 1;
constexpr int kEngravingPollPauseMs = 2;
constexpr int kGreyLevels = 255;

[[noreturn]] void refuse(const QString& message, std::optional<JobField> field = std::nullopt) {
    throw JobEnded(JobEnded::Reason::Refused, kErrorTitle, message, field);
}

bool usableRatio(double ratio) {
    return std::isfinite(ratio) && ratio != 0;
}

[[noreturn]] void refuseRatio(QChar axis) {
    refuse(QStringLiteral("Не задан шаг двигателя по оси %1 (мм на шаг). "
                          "Задайте его в окне «Настройка».")
               .arg(axis));
}

[[noreturn]] void refuseTooFar(QChar axis, double steps) {
    refuse(QStringLiteral("Перемещение по оси %1 слишком велико: %2 шагов не помещается в "
                          "команду станка.")
               .arg(axis)
               .arg(formatGeneral(steps)));
}

// Whole steps for a distance in millimetres on one axis.
qint32 stepsFor(double millimetres, double ratio, QChar axis) {
    if (millimetres == 0) return 0;
    if (!usableRatio(ratio)) refuseRatio(axis);
    const double steps = millimetres / ratio;
    const auto whole = toInt32(steps);
    if (!whole) refuseTooFar(axis, steps);
    return *whole;
}

double fieldNumber(const JobHost& host, JobField field, const QString& caption) {
    const auto value = parseNumber(host.fieldText(field));
    if (!value) refuse(QStringLiteral("Введите число в поле «%1»!").arg(caption), field);
    return *value;
}

// A scale factor: `millimetres` / `ratio` / `units`, rounded with halves to even.
qint32 factorFor(double millimetres, double ratio, double units, QChar axis) {
    if (!usableRatio(ratio)) refuseRatio(axis);
    const double factor = millimetres / ratio / units;
    const auto whole = toInt32(factor);
    if (!whole) refuseTooFar(axis, factor);
    return *whole;
}

}  // namespace

QByteArray formatMoveLine(qint32 x, qint32 y, qint32 z) {
    return QByteArray::number(x) + ',' + QByteArray::number(y) + ',' + QByteArray::number(z) + ';';
}

void MoveProtocol::ArduinoMoveMM(double dx, double dy, double dz) {
    const ProgramSettings& settings = m_settings;
    const qint32 x = stepsFor(dx, settings.StepRatioX, u'X');
    const qint32 y = stepsFor(dy, settings.StepRatioY, u'Y');
    const qint32 z = stepsFor(dz, settings.StepRatioZ, u'Z');
    // A manual move waits for its own "OK" even with the output box clear: left unread, that
    // answer would be taken by the next job's first wait, and the job would run a line ahead.
    if (m_link.isOpen()) send(x, y, z, true, true);
}

MoveProtocol::PixelSteps MoveProtocol::stepsPerPixel() const {
    const ProgramSettings& settings = m_settings;
    const double width = fieldNumber(m_host, JobField::FinishedWidth, QStringLiteral("Ширина"));
    if (m_pictureWidth <= 0) refuse(QStringLiteral("Картинка не загружена."));
    return {factorFor(width, settings.StepRatioX, m_pictureWidth, u'X'),
            factorFor(width, settings.StepRatioY, m_pictureWidth, u'Y')};
}

void MoveProtocol::MovePixels(int dx, int dy, int dz, bool wait, double surfaceMm) {
    const ProgramSettings& settings = m_settings;
    const auto [perPixelX, perPixelY] = stepsPerPixel();
    qint32 perGreyLevel = 1;
    if (m_rules == MoveRules::Milling) {
        const double depth = fieldNumber(m_host, JobField::Depth, QStringLiteral("Глубина"));
        // Read at every line: a depth typed during the job must not turn the plunge into a rise.
        if (depth <= 0)
            refuse(QStringLiteral("Глубина фрезерования (поле «Глубина») должна быть больше нуля."),
                   JobField::Depth);
        perGreyLevel = factorFor(depth, settings.StepRatioZ, kGreyLevels, u'Z');
    }
    if (!m_host.outputEnabled()) return;
    qint64 z = qint64(dz) * perGreyLevel;
    double gcodeSurface = 0;
    if (surfaceMm != 0 && std::isfinite(surfaceMm)) {
        if (portSpeaksGcode()) {
            gcodeSurface = surfaceMm;
        } else if (m_rules == MoveRules::Milling) {
            if (!usableRatio(settings.StepRatioZ)) refuseRatio(u'Z');
            m_surfaceRemainder += surfaceMm / settings.StepRatioZ;
            const double whole = std::nearbyint(m_surfaceRemainder);
            m_surfaceRemainder -= whole;
            z += qint64(whole);
        }
    }
    send(qint64(dx) * perPixelX, qint64(dy) * perPixelY, z, wait, false, gcodeSurface);
}

bool MoveProtocol::portSpeaksGcode() const {
    const SerialTransport* transport = m_link.driver().transportOf(m_link.PortHandle());
    return transport && transport->speaksGcode();
}

void MoveProtocol::sendLine(qint64 x, qint64 y, qint64 z, bool wait) {
    send(x, y, z, wait, false);
}

void MoveProtocol::send(qint64 x, qint64 y, qint64 z, bool wait, bool manual, double surfaceMm) {
    constexpr qint64 kLowest = std::numeric_limits<qint32>::min();
    constexpr qint64 kHighest = std::numeric_limits<qint32>::max();
    const qint64 values[] = {x, y, z};
    const QChar axes[] = {u'X', u'Y', u'Z'};
    for (int i = 0; i < 3; ++i)
        if (values[i] < kLowest || values[i] > kHighest) refuseTooFar(axes[i], double(values[i]));
    if (!m_link.isOpen()) refuse(QStringLiteral("Ошибка открытия Com-порта"));
    m_link.driver().noteStop(m_link.PortHandle(), m_host.stopLevel());
    if (m_host.stopLevel() == StopLevel::Abandon) throw abandonedJob();
    m_link.driver().describeLine(m_link.PortHandle(), {m_rules, manual, surfaceMm});
    // In the laser windows a job's third field is the laser's value: the tool does not move in Z.
    const bool zMoves = manual || m_rules == MoveRules::Milling || m_rules == MoveRules::Scanner;
    const int handle = m_link.PortHandle();
    m_link.sendLine(formatMoveLine(qint32(x), qint32(y), qint32(z)), {x, y, zMoves ? z : 0});
    ++m_linesSent;
    if (m_link.driver().lineLost(handle)) {
        endWithLostLink(m_link, JobEnded(JobEnded::Reason::LinkLost, kErrorTitle,
                                         QStringLiteral("строка не ушла: линия оборвалась")));
    }
    if (wait) waitForReply();
}

void MoveProtocol::WaitForOk() {
    if (!m_host.outputEnabled()) return;
    waitForReply();
}

void MoveProtocol::waitForReply() {
    const int handle = m_link.PortHandle();
    if (handle <= 0) refuse(QStringLiteral("Ошибка открытия Com-порта"));
    try {
        readReply(handle);
    } catch (const JobEnded& ended) {
        endWithLostLink(m_link, ended);
    }
    m_link.lineAnswered();
}

void MoveProtocol::readReply(int handle) {
    switch (m_rules) {
        case MoveRules::Engraving: {
            // Everything read during the wait is dropped with it, a second "OK" too; bytes not
            // read yet stay in the port for the next wait.
            QByteArray text;
            PollUntilOk(m_host, m_link.driver(), handle, text, kEngravingPollPauseMs);
            return;
        }
        case MoveRules::Scanner:
            m_replyBuffer.clear();
            break;
        case MoveRules::Milling:
        case MoveRules::Outlining:
            break;
    }
    PollUntilOk(m_host, m_link.driver(), handle, m_replyBuffer, kPollPauseMs);
    // The wait consumes everything up to and including the first "OK" (text before it is not
    // an answer to a later line) and keeps what follows for the next wait.
    m_replyBuffer.remove(0, m_replyBuffer.indexOf("OK") + 2);
    m_replyBuffer.replace("\r\n", "");
}

void MoveProtocol::sendProbeRequest() {
    if (!m_link.isOpen()) refuse(QStringLiteral("Ошибка открытия Com-порта"));
    m_link.driver().noteStop(m_link.PortHandle(), m_host.stopLevel());
    if (m_host.stopLevel() == StopLevel::Abandon) throw abandonedJob();
    // A port that translates lines must know this one is a sample request, not a Z move, even
    // when it is the job's first line.
    m_link.driver().describeLine(m_link.PortHandle(), {m_rules, false});
    // The probe goes down to the surface and back: the machine ends where it was.
    m_link.sendLine(formatMoveLine(0, 0, kProbeRequestZ), {0, 0, 0});
    ++m_linesSent;
}

qint32 MoveProtocol::readProbeReply() {
    const int handle = m_link.PortHandle();
    if (handle <= 0) refuse(QStringLiteral("Ошибка открытия Com-порта"));
    // The sample's digits arrive before the "OK": the ordinary wait would drop them with the
    // text it consumes, so the probe reads into a text of its own.
    QByteArray reply;
    try {
        PollUntilOk(m_host, m_link.driver(), handle, reply, kPollPauseMs);
    } catch (const JobEnded& ended) {
        endWithLostLink(m_link, ended);
    }
    m_link.lineAnswered();
    const SerialTransport* transport = m_link.driver().transportOf(handle);
    m_probeDepth = transport ? transport->probeContactDepth() : std::nullopt;
    return ProbeSampleOf(reply);
}
