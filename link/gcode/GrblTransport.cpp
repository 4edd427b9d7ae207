#include "link/gcode/GrblTransport.h"

#include <chrono>
#include <thread>

#include "app/config/ProgramSettings.h"
#include "link/gcode/GrblCodes.h"
#include "link/protocol/ReplyWait.h"
#include "link/serial/QtSerialTransport.h"
#include "link/serial/SerialDriver.h"

namespace {

constexpr int kBannerWaitMs = 3000;  // an Arduino restarts when its port is opened
constexpr int kAskAgainMs = 250;     // while waiting for the first report after opening
constexpr int kStatusWaitMs = 1000;
constexpr int kHoldWaitMs = 10000;
constexpr int kDrainWaitMs = 30000;
constexpr int kSettleWaitMs = 120000;  // the closing lift may still have far to go
constexpr int kStatusEveryMs = 200;
constexpr int kHoldStatusEveryMs = 40;
constexpr int kSilenceMs = 3000;  // GRBL answers "?" within milliseconds, even while moving
constexpr int kPollPauseMs = 1;
constexpr double kHeightTolerance = 1e-3;
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

// A millimetre figure for the user: three decimals with the decimal comma.
QString millimetres(double value) {
    return QString::number(value, 'f', 3).replace(u'.', u',');
}

bool laserWindow(const LineMeaning& meaning) {
    return !meaning.manual &&
           (meaning.rules == MoveRules::Engraving || meaning.rules == MoveRules::Outlining);
}

}  // namespace

GrblTransport::GrblTransport(const ProgramSettings& settings, Flow flow,
                             std::unique_ptr<SerialTransport> line)
    : m_flow(flow), m_line(std::move(line)), m_stream(settings) {
    m_sinceAsked.start();
    m_sinceHeard.start();
}

GrblTransport::~GrblTransport() {
    if (!m_line || m_failure || lost()) return;
    waitUntil(
        [&] {
            pump();
            return (m_queue.empty() && m_inFlight.empty()) || m_failure.has_value();
        },
        kDrainWaitMs);
}

bool GrblTransport::setWireTap(SerialTap* tap) {
    m_tap = tap;
    // What passed while the port opened (the settings, the opening lines) comes first.
    if (m_tap) {
        for (const auto& [sent, text] : m_beforeTap)
            sent ? m_tap->sent(text) : m_tap->received(text);
    }
    m_beforeTap.clear();
    return true;
}

void GrblTransport::logWire(bool sent, const QByteArray& text) {
    if (m_tap) {
        sent ? m_tap->sent(text) : m_tap->received(text);
    } else if (!m_opened) {
        m_beforeTap.emplace_back(sent, text);
    }
}

bool GrblTransport::lost() const {
    return m_silent || (m_line && m_line->lineLost());
}

bool GrblTransport::lineLost() const {
    return lost();
}

void GrblTransport::throwLost() const {
    throw JobEnded(JobEnded::Reason::LinkLost, kErrorTitle,
                   m_silent ? QStringLiteral("контроллер GRBL не ответил на запрос состояния за "
                                             "%1 с")
                                  .arg(kSilenceMs / 1000)
                            : QStringLiteral("линия оборвалась (устройство отключено)"));
}

int GrblTransport::open(const QString& device) {
    m_device = device;
    if (!m_line) {
        auto port = std::make_unique<QtSerialTransport>();
        const int result = port->open(device, kGrblBaud);
        if (result != 0) {
            m_openError = port->openError();
            return result;
        }
        m_line = std::move(port);
    }
    // A board that does not restart answers the first "?" at once; one that restarts loses
    // what came during its boot, so "?" is asked again until a report comes.
    QElapsedTimer sinceOpen;
    sinceOpen.start();
    QElapsedTimer sinceAsk;
    while (m_statusSeen == 0 && sinceOpen.elapsed() < kBannerWaitMs && !lost()) {
        sendRaw(QByteArray(1, kStatusQuery));
        sinceAsk.start();
        while (m_statusSeen == 0 && sinceAsk.elapsed() < kAskAgainMs && !lost()) {
            readLine();
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollPauseMs));
        }
    }
    m_asked = m_statusSeen;
    if (!m_machine || lost()) {
        m_openError = !lost() ? QStringLiteral(
                                    "порт открылся, но контроллер GRBL не ответил за %1 с "
                                    "ни приветствием, ни отчётом о состоянии (скорость "
                                    "%2 бод)")
                                    .arg(kBannerWaitMs / 1000)
                                    .arg(kGrblBaud)
                              : QStringLiteral("линия оборвалась (устройство отключено)");
        m_line.reset();
        return kPortCannotOpen;
    }
    m_origin = *m_machine;
    // The settings tell whether the laser is safe on travels ($32).
    sendLine("$$\n");
    waitUntil([&] { return m_inFlight.empty(); }, kStatusWaitMs);
    m_failure.reset();
    for (const QByteArray& line : GcodeTranslator::opening())
        m_queue.push_back({Item::Line, line + '\n'});
    pump();
    waitUntil([&] { return m_inFlight.empty(); }, kStatusWaitMs);
    m_opened = true;
    return 0;
}

void GrblTransport::sendRaw(const QByteArray& bytes) {
    if (!m_line) return;
    m_line->write(bytes);
    if (bytes.endsWith('\n')) {
        logWire(true, bytes.chopped(1));
    } else {
        // The status queries of the polling are left out: their reports are logged.
        for (const char c : bytes)
            if (c != kStatusQuery) logWire(true, c == kSoftReset ? "^X" : QByteArray(1, c));
    }
}

void GrblTransport::sendLine(const QByteArray& line) {
    sendRaw(line);
    m_inFlight.push_back(int(line.size()));
    m_inFlightBytes += int(line.size());
    m_mostInFlight = std::max(m_mostInFlight, m_inFlightBytes);
}

void GrblTransport::pollStatus() {
    if (!m_line || m_silent) return;
    const bool answered = m_statusSeen >= m_asked;
    if (!answered && m_sinceHeard.elapsed() >= kSilenceMs) {
        m_silent = true;
        return;
    }
    if ((answered && m_sinceAsked.elapsed() >= kStatusEveryMs) ||
        m_sinceAsked.elapsed() >= kSilenceMs / 3) {
        sendRaw(QByteArray(1, kStatusQuery));
        ++m_asked;
        m_sinceAsked.restart();
    }
}

bool GrblTransport::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        readLine();
        pollStatus();
        if (done()) return true;
        if (lost() || timer.elapsed() >= timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollPauseMs));
    }
}

bool GrblTransport::waitForReport(const std::function<bool()>& done, int timeoutMs) {
    // Only a report asked from now on counts; asked often, so that a hold is seen as it ends.
    const int from = m_asked;
    QElapsedTimer sinceAsk;
    sinceAsk.start();
    sendRaw(QByteArray(1, kStatusQuery));
    ++m_asked;
    return waitUntil(
        [&] {
            if (m_statusSeen > from && done()) return true;
            if (sinceAsk.elapsed() >= kHoldStatusEveryMs && m_statusSeen >= m_asked) {
                sendRaw(QByteArray(1, kStatusQuery));
                ++m_asked;
                sinceAsk.restart();
            }
            return false;
        },
        timeoutMs);
}

bool GrblTransport::idleAfterLastOk() const {
    return m_queue.empty() && m_inFlight.empty() && m_state == "Idle" &&
           m_statusSeen > m_askedAtLastOk;
}

void GrblTransport::readLine() {
    if (!m_line) return;
    const qsizetype before = m_received.size();
    m_line->readAvailable(m_received);
    if (m_received.size() > before) m_sinceHeard.restart();
    for (qsizetype end = m_received.indexOf('\n'); end >= 0; end = m_received.indexOf('\n')) {
        const QByteArray line = m_received.left(end).trimmed();
        m_received.remove(0, end + 1);
        if (line.isEmpty()) continue;
        logWire(false, line + "\r\n");
        handleLine(line);
    }
}

void GrblTransport::handleLine(const QByteArray& line) {
    const auto answered = [&] {
        m_askedAtLastOk = m_asked;
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
                                0};
        }
    } else if (line.startsWith("ALARM:")) {
        const int code = line.mid(6).toInt();
        // An alarm aborts everything the controller held; no answers follow for it.
        m_inFlight.clear();
        m_inFlightBytes = 0;
        m_askedAtLastOk = m_asked;
        m_failure = Failure{QStringLiteral("Тревога контроллера GRBL: ALARM:%1 — %2.")
                                .arg(code)
                                .arg(grblAlarmMeaning(code)),
                            code};
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
    } else if (line.startsWith("$32=")) {
        m_laserMode = line.mid(4).toDouble() != 0;
    } else if (line.startsWith("[VER:")) {
        m_version =
            QString::fromLatin1(line.mid(5).split(':').value(0).split('.').mid(0, 2).join('.'));
    } else if (line.startsWith("Grbl ")) {
        // The start-up banner: the controller was reset and holds nothing any more; "?" asked
        // before it may never be answered.
        m_banner = true;
        m_version = QString::fromLatin1(line.mid(5).split(' ').value(0));
        m_inFlight.clear();
        m_inFlightBytes = 0;
        m_asked = m_statusSeen;
    }
}

void GrblTransport::pump() {
    while (!m_queue.empty() && !m_failure && !lost()) {
        Item& item = m_queue.front();
        if (item.kind == Item::Line) {
            const int size = int(item.text.size());
            const bool room = m_flow == Flow::StopAndWait
                                  ? m_inFlight.empty()
                                  : m_inFlightBytes + size <= kGrblReceiveBuffer;
            if (!room) return;
            sendLine(item.text);
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
        if (!m_failure) m_failure = Failure{why, 0};
    };
    // The start height is read when everything before has run: a report after the last "ok"
    // that finds the planner empty.
    if (!waitForReport([&] { return idleAfterLastOk() || m_failure; }, kSettleWaitMs) ||
        m_failure || !m_machine) {
        if (lost()) return;
        return failed(QStringLiteral("Контроллер GRBL не остановился перед замером щупа."));
    }
    const Millimetres start = *m_machine;
    m_probeContact.reset();
    m_probeTouched = false;
    m_probeDepth.reset();
    sendLine(translator.probingMove() + '\n');
    const GcodeSettings& settings = translator.settings();
    const int travelMs = int(settings.ProbeLimit / settings.ProbeFeed * 60000) + kDrainWaitMs;
    if (!waitUntil([&] { return m_inFlight.empty() || m_failure; }, travelMs) || m_failure) {
        if (lost() || m_failure) return;
        return failed(QStringLiteral("Контроллер GRBL не закончил замер щупа."));
    }
    if (!m_probeContact || !m_probeTouched)
        return failed(QStringLiteral("Контроллер GRBL не сообщил касания щупа."));
    // The contact is GRBL's report of where the probe closed, not where it coasted to.
    m_probeDepth = start.z - m_probeContact->z;
    const int sample = translator.sampleForDepth(*m_probeDepth);
    // Back to the height the probe started from, in machine coordinates.
    m_queue.push_front({Item::Line, "G53 G0 Z" + GcodeTranslator::number(start.z) + '\n'});
    m_queue.insert(m_queue.begin() + 1, {Item::Answer, QByteArray::number(sample) + "\r\n" + kOk});
}

qint64 GrblTransport::write(const QByteArray& bytes) {
    for (const GcodeStream::Taken& taken : m_stream.take(bytes)) {
        if (m_stopped) {
            m_answers += kOk;
            continue;
        }
        if (!taken.step) {
            m_answers += "ERR\r\n";
            continue;
        }
        if (laserWindow(m_stream.meaning()) && m_laserMode != true) {
            throw JobEnded(
                JobEnded::Reason::Refused, kErrorTitle,
                QStringLiteral("Контроллер GRBL на порту %1 не в режиме лазера (%2): в нём лазер "
                               "светит и на холостых переходах, поэтому работа не начата. "
                               "Включите режим лазера: отправьте контроллеру строку $32=1 "
                               "(например, из терминала), затем нажмите «Проверить "
                               "соединение» в окне «Настройка».")
                    .arg(m_device, m_laserMode ? QStringLiteral("$32=0")
                                               : QStringLiteral("$32 не прочитан")));
        }
        ++m_jobLines;
        for (const QByteArray& line : taken.step->lines)
            m_queue.push_back({Item::Line, line + '\n'});
        if (const auto surface = m_stream.translator().surfaceUnderCutter()) m_surface = *surface;
        if (taken.step->probe) {
            m_queue.push_back({Item::Probe, {}});
        } else {
            m_queue.push_back({Item::Answer, kOk});
        }
    }
    pump();
    return bytes.size();
}

std::optional<QString> GrblTransport::describeFarEnd() {
    if (m_version.isEmpty() && m_line && !lost() && !m_failure) {
        sendLine("$I\n");
        waitUntil([&] { return m_inFlight.empty(); }, kStatusWaitMs);
        // A controller too old for "$I" refuses it; that is no failure of a job.
        m_failure.reset();
    }
    if (m_version.isEmpty())
        return QStringLiteral("Ответил контроллер GRBL (своей версии он не назвал).");
    return QStringLiteral("Ответил контроллер GRBL версии %1.").arg(m_version);
}

std::optional<SerialTransport::Position> GrblTransport::reportedPosition() const {
    if (!m_machine || !m_origin) return std::nullopt;
    return Position{m_machine->x - m_origin->x, m_machine->y - m_origin->y,
                    m_machine->z - m_origin->z};
}

QString GrblTransport::pointText() const {
    if (!m_machine) return QStringLiteral("положение станка неизвестно");
    return QStringLiteral("станок стоит в точке X %1; Y %2; Z %3 мм (MPos по отчёту GRBL)")
        .arg(millimetres(m_machine->x), millimetres(m_machine->y), millimetres(m_machine->z));
}

QString GrblTransport::holdAndMakeSafe() {
    m_queue.clear();
    m_answers.clear();
    m_closingSent = false;
    sendRaw(QByteArray(1, kFeedHold));
    // GRBL ignores a hold while Idle, and a line still in its receive buffer then starts a
    // motion: Idle is safe only in a report asked after every line sent was answered, and a
    // hold is sent again whenever a report says GRBL runs.
    int holdSentAt = m_statusSeen;
    const bool held = waitForReport(
        [&] {
            if (m_state == "Run" && m_statusSeen > holdSentAt) {
                sendRaw(QByteArray(1, kFeedHold));
                holdSentAt = m_statusSeen;
            }
            return m_state == "Hold:0" || idleAfterLastOk() || m_state.startsWith("Alarm") ||
                   (m_failure && m_failure->alarm);
        },
        kHoldWaitMs);
    if (lost()) throwLost();
    if (m_state.startsWith("Alarm") || (m_failure && m_failure->alarm)) {
        return QStringLiteral(
                   "GRBL в состоянии тревоги, фреза может остаться опущенной в "
                   "материал; ") +
               pointText() + u'.';
    }
    // The reset empties GRBL's buffers; after a completed hold it keeps the position.
    const bool moving = !held;
    const std::optional<Failure> before = m_failure;
    m_failure.reset();
    m_banner = false;
    sendRaw(QByteArray(1, kSoftReset));
    waitUntil([&] { return m_banner; }, kBannerWaitMs);
    m_inFlight.clear();
    m_inFlightBytes = 0;
    if (!waitForReport([] { return true; }, kStatusWaitMs) || !m_machine) {
        if (lost()) throwLost();
        return QStringLiteral(
            "GRBL не сообщил положение после сброса; фреза может остаться "
            "опущенной в материал, лазер или шпиндель — включёнными.");
    }
    if (m_state.startsWith("Alarm") || moving) {
        m_failure = before;
        m_positionLost = true;
        return QStringLiteral(
                   "сброс пришёлся на движение, GRBL потерял положение и "
                   "заблокирован (снимите блокировку командой $X); фреза может "
                   "остаться опущенной в материал; ") +
               pointText() + u'.';
    }

    return sendSafeEnding(before);
}

QString GrblTransport::sendSafeEnding(const std::optional<Failure>& before) {
    GcodeTranslator& translator = m_stream.translator();
    const Millimetres origin = *m_origin;
    // The reset put the controller back to absolute distances: the opening lines come first.
    QList<QByteArray> ending = GcodeTranslator::opening();
    double z = m_machine->z - origin.z;
    bool raising = false;
    if (m_surface && z < *m_surface - kHeightTolerance) {
        ending.append("G53 G0 Z" + GcodeTranslator::number(origin.z + *m_surface));
        z = *m_surface;
        raising = true;
    }
    translator.resync({m_machine->x - origin.x, m_machine->y - origin.y, z});
    for (const QByteArray& line : ending) m_queue.push_back({Item::Line, line + '\n'});
    const bool settled =
        waitUntil(
            [&] {
                pump();
                return (m_queue.empty() && m_inFlight.empty()) || m_failure.has_value();
            },
            kDrainWaitMs) &&
        !m_failure &&
        waitForReport([&] { return idleAfterLastOk() || m_failure; }, kSettleWaitMs) && !m_failure;
    if (lost()) throwLost();
    const std::optional<Failure> during = m_failure;
    m_failure = before;
    m_queue.clear();
    if (!settled) {
        return QStringLiteral(
                   "GRBL не выполнил строки безопасного окончания (%1); фреза может "
                   "остаться опущенной в материал, лазер или шпиндель — "
                   "включёнными; ")
                   .arg(during ? during->message : QStringLiteral("нет ответа")) +
               pointText() + u'.';
    }
    QString done = QStringLiteral("Лазер и шпиндель выключены (M5)");
    if (raising) done += QStringLiteral(", фреза поднята к поверхности");
    return done + QStringLiteral("; ") + pointText() + u'.';
}

void GrblTransport::endWithFailure() {
    const Failure failure = *m_failure;
    m_jobLines = 0;
    QString message = failure.message;
    if (failure.alarm) {
        // GRBL has stopped and flushed everything itself; it takes no G-code until unlocked.
        waitForReport([] { return true; }, kStatusWaitMs);
        message += QStringLiteral(
                       " GRBL остановил станок и заблокирован: строки G-кода не выполняются, "
                       "пока блокировка не снята командой $X (или поиском нуля $H). Фреза "
                       "может остаться опущенной в материал; ") +
                   pointText() + u'.';
    } else {
        message += QStringLiteral(" Работа остановлена. ") + holdAndMakeSafe();
    }
    m_failure.reset();
    m_queue.clear();
    m_stream.translator().discardHeld();
    m_answers.clear();
    throw JobEnded(JobEnded::Reason::ControllerFailed, kErrorTitle, message);
}

void GrblTransport::noteStop(StopLevel level) {
    if (level == m_stop) return;
    m_stop = level;
    if (level == StopLevel::None) {
        m_stopped = false;
        m_positionLost = false;
        return;
    }
    if (m_stopped) return;
    m_stopped = true;
    if (level == StopLevel::Stop) {
        // Nothing of this job reached the controller (a dry run): nothing to stop.
        if (m_jobLines == 0 && m_inFlight.empty()) return;
        m_jobLines = 0;
        const QString outcome = holdAndMakeSafe();
        throw JobEnded(JobEnded::Reason::Stopped, kStopTitle,
                       QStringLiteral("Работа остановлена. ") + outcome);
    }
    // Abandoned: a reset at once, without the hold; a machine in motion loses its position.
    if (m_jobLines > 0 || !m_inFlight.empty()) m_positionLost = true;
    sendRaw(QByteArray(1, kSoftReset));
    m_queue.clear();
    m_inFlight.clear();
    m_inFlightBytes = 0;
}

bool GrblTransport::finishJob() {
    readLine();
    if (lost()) throwLost();
    if (m_failure) endWithFailure();
    if (m_stopped) return true;
    if (m_jobLines == 0 && m_queue.empty() && m_inFlight.empty()) return true;
    if (!m_closingSent) {
        // No job ends with the laser or the spindle modally on, nor the cutter in the work.
        QList<QByteArray> closing = m_stream.translator().safeEnding();
        if (!closing.contains("M5")) closing.append("M5");
        for (const QByteArray& line : closing) m_queue.push_back({Item::Line, line + '\n'});
        m_closingSent = true;
    }
    pump();
    pollStatus();
    if (m_failure) endWithFailure();
    if (!idleAfterLastOk()) return false;
    m_jobLines = 0;
    m_closingSent = false;
    return true;
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
    if (lost()) throwLost();
    pollStatus();
    if (m_failure) endWithFailure();
    pump();
    into += m_answers;
    m_answers.clear();
}
