#include "link/gcode/GrblTransport.h"

#include <QElapsedTimer>
#include <chrono>
#include <thread>

#include "app/config/ProgramSettings.h"
#include "link/gcode/GrblCodes.h"
#include "link/protocol/ReplyWait.h"
#include "link/serial/QtSerialTransport.h"
#include "link/serial/SerialDriver.h"

namespace {

constexpr int kBannerWaitMs = 2500;  // an Arduino restarts when its port is opened
constexpr int kStatusWaitMs = 1000;
constexpr int kHoldWaitMs = 5000;
constexpr int kDrainWaitMs = 30000;
constexpr int kStatusEveryMs = 100;
constexpr int kPollPauseMs = 1;
const QByteArray kOk = "OK\r\n";
const char kFeedHold = '!';
const char kStatusQuery = '?';
const char kSoftReset = 0x18;

std::optional<Millimetres> readTriple(const QByteArray& text) {
    const QList<QByteArray> parts = text.split(',');
    if (parts.size() < 3) return std::nullopt;
    bool ok[3] = {};
    const Millimetres value{parts[0].toDouble(&ok[0]), parts[1].toDouble(&ok[1]),
                            parts[2].toDouble(&ok[2])};
    if (!ok[0] || !ok[1] || !ok[2]) return std::nullopt;
    return value;
}

}  // namespace

GrblTransport::GrblTransport(const ProgramSettings& settings, Flow flow,
                             std::unique_ptr<SerialTransport> line)
    : m_flow(flow), m_line(std::move(line)), m_stream(settings) {}

GrblTransport::~GrblTransport() {
    if (!m_line || m_failure) return;
    waitUntil(
        [&] {
            pump();
            return (m_queue.empty() && m_inFlight.empty()) || m_failure.has_value();
        },
        kDrainWaitMs);
}

int GrblTransport::open(const QString& device) {
    if (!m_line) {
        auto port = std::make_unique<QtSerialTransport>();
        const int result = port->open(device, kGrblBaud);
        if (result != 0) return result;
        m_line = std::move(port);
    }
    waitUntil([&] { return m_banner; }, kBannerWaitMs);
    if (!askStatus(kStatusWaitMs) || !m_machine) {
        m_line.reset();
        return kPortCannotOpen;
    }
    m_origin = *m_machine;
    for (const QByteArray& line : GcodeTranslator::opening())
        m_queue.push_back({Item::Line, line + '\n'});
    pump();
    return 0;
}

void GrblTransport::sendRaw(const QByteArray& bytes) {
    m_line->write(bytes);
}

bool GrblTransport::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        readLine();
        if (done()) return true;
        if (timer.elapsed() >= timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollPauseMs));
    }
}

bool GrblTransport::askStatus(int timeoutMs) {
    const int before = m_statusSeen;
    sendRaw(QByteArray(1, kStatusQuery));
    return waitUntil([&] { return m_statusSeen > before; }, timeoutMs);
}

void GrblTransport::readLine() {
    if (!m_line) return;
    m_line->readAvailable(m_received);
    for (qsizetype end = m_received.indexOf('\n'); end >= 0; end = m_received.indexOf('\n')) {
        const QByteArray line = m_received.left(end).trimmed();
        m_received.remove(0, end + 1);
        if (!line.isEmpty()) handleLine(line);
    }
}

void GrblTransport::handleLine(const QByteArray& line) {
    const auto answered = [&] {
        if (m_inFlight.empty()) return;
        m_inFlightBytes -= m_inFlight.front();
        m_inFlight.pop_front();
    };
    if (line == "ok") {
        answered();
    } else if (line.startsWith("error:")) {
        answered();
        const int code = line.mid(6).toInt();
        if (!m_failure) {
            m_failure = Failure{QStringLiteral("Контроллер GRBL отказался выполнить строку: "
                                               "error:%1 — %2.")
                                    .arg(code)
                                    .arg(grblErrorMeaning(code)),
                                false};
        }
    } else if (line.startsWith("ALARM:")) {
        const int code = line.mid(6).toInt();
        // An alarm aborts everything the controller held; no answers follow for it.
        m_inFlight.clear();
        m_inFlightBytes = 0;
        m_failure = Failure{QStringLiteral("Тревога контроллера GRBL: ALARM:%1 — %2. "
                                           "Станок остановлен.")
                                .arg(code)
                                .arg(grblAlarmMeaning(code)),
                            true};
    } else if (line.startsWith('<') && line.endsWith('>')) {
        const QList<QByteArray> fields = line.mid(1, line.size() - 2).split('|');
        m_state = fields.value(0);
        std::optional<Millimetres> work;
        for (const QByteArray& field : fields) {
            if (field.startsWith("MPos:")) m_machine = readTriple(field.mid(5));
            if (field.startsWith("WPos:")) work = readTriple(field.mid(5));
            if (field.startsWith("WCO:"))
                if (const auto offset = readTriple(field.mid(4))) m_workOffset = *offset;
        }
        if (work)
            m_machine = {work->x + m_workOffset.x, work->y + m_workOffset.y,
                         work->z + m_workOffset.z};
        ++m_statusSeen;
    } else if (line.startsWith("[PRB:") && line.endsWith(']')) {
        const QByteArray body = line.mid(5, line.size() - 6);
        const qsizetype colon = body.lastIndexOf(':');
        m_probeContact = readTriple(body.left(colon));
        m_probeTouched = body.mid(colon + 1) == "1";
    } else if (line.startsWith("Grbl ")) {
        // The start-up banner: the controller was reset and holds nothing any more.
        m_banner = true;
        m_inFlight.clear();
        m_inFlightBytes = 0;
    }
}

void GrblTransport::pump() {
    while (!m_queue.empty() && !m_failure) {
        Item& item = m_queue.front();
        if (item.kind == Item::Line) {
            const int size = int(item.text.size());
            const bool room = m_flow == Flow::StopAndWait
                                  ? m_inFlight.empty()
                                  : m_inFlightBytes + size <= kGrblReceiveBuffer;
            if (!room) return;
            sendRaw(item.text);
            m_inFlight.push_back(size);
            m_inFlightBytes += size;
            m_mostInFlight = std::max(m_mostInFlight, m_inFlightBytes);
        } else if (item.kind == Item::Answer) {
            if (m_flow == Flow::StopAndWait && !m_inFlight.empty()) return;
            m_answers += item.text;
        } else {
            m_queue.pop_front();
            probe();
            continue;
        }
        m_queue.pop_front();
    }
}

void GrblTransport::probe() {
    GcodeTranslator& translator = m_stream.translator();
    const auto failed = [&](const QString& why) {
        if (!m_failure) m_failure = Failure{why, false};
    };
    if (!waitUntil([&] { return m_inFlight.empty() || m_failure; }, kDrainWaitMs) ||
        !askStatus(kStatusWaitMs) || !m_machine) {
        return failed(QStringLiteral("Контроллер GRBL не ответил перед замером щупа."));
    }
    const Millimetres start = *m_machine;
    m_probeContact.reset();
    const QByteArray probing = translator.probingMove() + '\n';
    sendRaw(probing);
    m_inFlight.push_back(int(probing.size()));
    m_inFlightBytes += int(probing.size());
    const GcodeSettings& settings = translator.settings();
    const int travelMs = int(settings.ProbeLimit / settings.ProbeFeed * 60000) + kDrainWaitMs;
    if (!waitUntil([&] { return m_inFlight.empty() || m_failure; }, travelMs) || m_failure) {
        return failed(QStringLiteral("Контроллер GRBL не закончил замер щупа."));
    }
    if (!m_probeContact || !m_probeTouched)
        return failed(QStringLiteral("Контроллер GRBL не сообщил касания щупа."));
    const int sample = translator.sampleForDepth(start.z - m_probeContact->z);
    // Back to the height the probe started from, in machine coordinates.
    m_queue.push_front({Item::Line, "G53 G0 Z" + GcodeTranslator::number(start.z) + '\n'});
    m_queue.insert(m_queue.begin() + 1, {Item::Answer, QByteArray::number(sample) + "\r\n" + kOk});
}

qint64 GrblTransport::write(const QByteArray& bytes) {
    for (const GcodeStream::Taken& taken : m_stream.take(bytes)) {
        if (m_stopped) {
            m_answers += kOk;
        } else if (!taken.step) {
            m_answers += "ERR\r\n";
        } else {
            for (const QByteArray& line : taken.step->lines)
                m_queue.push_back({Item::Line, line + '\n'});
            if (taken.step->probe) {
                m_queue.push_back({Item::Probe, {}});
            } else {
                m_queue.push_back({Item::Answer, kOk});
            }
        }
    }
    pump();
    return bytes.size();
}

void GrblTransport::holdResetAndEnd() {
    // Answer what the job still waits for: those lines are never sent.
    for (const Item& item : m_queue) {
        if (item.kind == Item::Answer) m_answers += item.text;
        if (item.kind == Item::Probe) m_answers += "0\r\n" + kOk;
    }
    m_queue.clear();
    sendRaw(QByteArray(1, kFeedHold));
    QElapsedTimer sinceStatus;
    sinceStatus.start();
    waitUntil(
        [&] {
            if (sinceStatus.elapsed() >= kStatusEveryMs) {
                sendRaw(QByteArray(1, kStatusQuery));
                sinceStatus.restart();
            }
            return m_state == "Hold:0" || m_state == "Idle" || m_state.startsWith("Alarm");
        },
        kHoldWaitMs);
    m_banner = false;
    sendRaw(QByteArray(1, kSoftReset));
    waitUntil([&] { return m_banner; }, kBannerWaitMs);
    if (!askStatus(kStatusWaitMs) || !m_machine) return;

    GcodeTranslator& translator = m_stream.translator();
    // The reset put the controller back to absolute distances: the opening lines come first.
    QList<QByteArray> ending = GcodeTranslator::opening();
    double z = m_machine->z - m_origin.z;
    if (const auto surface = translator.surfaceUnderCutter(); surface && z < *surface) {
        ending.append("G53 G0 Z" + GcodeTranslator::number(m_origin.z + *surface));
        z = *surface;
    }
    translator.resync({m_machine->x - m_origin.x, m_machine->y - m_origin.y, z});
    const std::optional<Failure> failure = m_failure;
    m_failure.reset();
    for (const QByteArray& line : ending) m_queue.push_back({Item::Line, line + '\n'});
    waitUntil(
        [&] {
            pump();
            return (m_queue.empty() && m_inFlight.empty()) || m_failure.has_value();
        },
        kDrainWaitMs);
    if (failure) m_failure = failure;
}

void GrblTransport::noteStop(StopLevel level) {
    if (level == m_stop) return;
    m_stop = level;
    if (level == StopLevel::None) {
        m_stopped = false;
        return;
    }
    if (level == StopLevel::Stop) {
        holdResetAndEnd();
    } else {
        sendRaw(QByteArray(1, kSoftReset));
        m_queue.clear();
        m_inFlight.clear();
        m_inFlightBytes = 0;
    }
    m_stopped = true;
}

void GrblTransport::endJob() {
    const QList<QByteArray> held = m_stream.translator().finish();
    if (m_stopped || !m_line) return;
    for (const QByteArray& line : held) m_queue.push_back({Item::Line, line + '\n'});
    waitUntil(
        [&] {
            pump();
            return (m_queue.empty() && m_inFlight.empty()) || m_failure.has_value();
        },
        kDrainWaitMs);
    QByteArray answers;
    readAvailable(answers);
}

void GrblTransport::readAvailable(QByteArray& into) {
    readLine();
    if (m_failure) {
        const Failure failure = *m_failure;
        if (!failure.alarm) holdResetAndEnd();
        m_failure.reset();
        m_queue.clear();
        m_stream.translator().discardHeld();
        m_answers.clear();
        QString message = failure.message;
        if (!failure.alarm)
            message += QStringLiteral(" Работа остановлена, лазер выключен, фреза поднята.");
        throw JobEnded(JobEnded::Reason::ControllerFailed, kErrorTitle, message);
    }
    pump();
    into += m_answers;
    m_answers.clear();
}
