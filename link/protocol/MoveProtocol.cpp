#include "link/protocol/MoveProtocol.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

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
constexpr int kQuietBeforeJoinMs = 150;
constexpr int kLongestStaleWaitMs = 2000;

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
    // In the laser windows a job's third field is the laser's value: the tool does not move in Z.
    const bool zMoves = manual || m_rules == MoveRules::Milling || m_rules == MoveRules::Scanner;
    const MachinePosition move{x, y, zMoves ? z : 0};
    const QByteArray line = formatMoveLine(qint32(x), qint32(y), qint32(z));
    if (!manual && !m_joining) {
        if (m_safeEnding == 0 && skipping()) {
            skipLine(line, move, z, wait);
            return;
        }
        if (!m_joined) {
            // A stop before the join: the machine still stands where the earlier run left it.
            if (m_safeEnding > 0) return;
            joinResumePoint();
        }
    }
    m_link.driver().noteStop(m_link.PortHandle(), m_host.stopLevel());
    if (m_host.stopLevel() == StopLevel::Abandon) throw abandonedJob();
    // A joining line that only lowers the cutter to the job's surface goes to a G-code port as a
    // plain move: its translator would take a lowering line of the job for a plunge.
    const bool plainMove = manual || std::exchange(m_plainJoin, false);
    m_link.driver().describeLine(m_link.PortHandle(), {m_rules, plainMove, surfaceMm});
    const int handle = m_link.PortHandle();
    const ToolState jobBefore = m_jobTool;
    const ToolState machineBefore = m_machineTool;
    const std::int64_t linesBefore = m_jobLines;
    // Counted before it is written: the controller carries a line out as soon as it has it,
    // and the write returns only after a pause.
    if (!manual) noteSent(line, move, z);
    m_link.sendLine(line, move);
    ++m_linesSent;
    if (m_link.driver().lineLost(handle)) {
        if (!manual) {
            m_jobTool = jobBefore;
            m_machineTool = machineBefore;
            if (m_keepHistory && m_jobLines > linesBefore) m_history.pop_back();
            m_jobLines = linesBefore;
            if (m_watcher) m_watcher->lineCarried(m_jobLines, m_machineTool);
        }
        endWithLostLink(m_link, JobEnded(JobEnded::Reason::LinkLost, kErrorTitle,
                                         QStringLiteral("строка не ушла: линия оборвалась")));
    }
    if (!wait) return;
    // The joining lines are awaited each, so that the cutter is up before it travels.
    if (manual || m_joining) {
        waitForReply();
    } else {
        takeReply();
    }
}

void MoveProtocol::trackJob(LineWatcher* watcher, std::optional<ResumeStart> resume) {
    m_watcher = watcher;
    m_jobLines = 0;
    m_skipLines = resume ? resume->skipLines : 0;
    m_fromSection = resume ? resume->fromSection : 0;
    m_skippedLines = 0;
    m_sectionReached = false;
    m_lowestSection = m_highestSection = 0;
    m_skippedSamples = resume ? resume->samples : std::vector<qint32>();
    m_nextSample = 0;
    m_owedReplies = 0;
    m_owedSamples = 0;
    m_joined = !resume;
    m_joinLines = 0;
    m_jobTool = {};
    m_machineTool = resume ? resume->machine : ToolState{};
    m_openingLine.clear();
    m_keepHistory =
        m_link.isOpen() && m_link.driver().reportedPosition(m_link.PortHandle()).has_value();
    m_history.clear();
    // Where the job's origin is in the link's counting: a resumed job started elsewhere.
    m_linkAtStart = {m_link.position().x - m_machineTool.at.x,
                     m_link.position().y - m_machineTool.at.y,
                     m_link.position().z - m_machineTool.at.z};
}

void MoveProtocol::beginSection(std::int64_t number) {
    if (m_lowestSection == 0 || number < m_lowestSection) m_lowestSection = number;
    m_highestSection = std::max(m_highestSection, number);
    if (number == m_fromSection) m_sectionReached = true;
}

void MoveProtocol::requireSectionReached() const {
    if (m_fromSection <= 0 || m_sectionReached) return;
    if (m_highestSection == 0)
        refuse(QStringLiteral("Начать с номера %1 нельзя: в этой работе нечего отправлять; на "
                              "станок ничего не отправлено.")
                   .arg(m_fromSection));
    refuse(QStringLiteral("Начать с номера %1 нельзя: в этой работе номера от %2 до %3; на "
                          "станок ничего не отправлено.")
               .arg(m_fromSection)
               .arg(m_lowestSection)
               .arg(m_highestSection));
}

ToolState MoveProtocol::toolBefore(std::int64_t line) const {
    return line <= 1 ? ToolState{} : m_history[std::size_t(line - 2)];
}

bool MoveProtocol::inBorder(std::int64_t line) const {
    const ToolState& before = toolBefore(line);
    const ToolState& after = m_history[std::size_t(line - 1)];
    switch (m_rules) {
        case MoveRules::Milling:
            return before.at.z < 0 || after.at.z < 0;
        case MoveRules::Outlining:
            return before.laserOn || after.laserOn;
        case MoveRules::Engraving:
        case MoveRules::Scanner:
            break;
    }
    return false;
}

ResumeStart MoveProtocol::resumeAtReportedPoint() {
    m_link.refreshPosition();
    const MachinePosition& now = m_link.position();
    const MachinePosition at{now.x - m_linkAtStart.x, now.y - m_linkAtStart.y,
                             now.z - m_linkAtStart.z};
    // A line holds the point when the point lies on it in the plane, to within rounding.
    constexpr double kNear = 2;
    const auto holds = [&](std::int64_t line) {
        const MachinePosition& a = toolBefore(line).at;
        const MachinePosition& b = m_history[std::size_t(line - 1)].at;
        const double dx = double(b.x - a.x), dy = double(b.y - a.y);
        const double px = double(at.x - a.x), py = double(at.y - a.y);
        const double length = dx * dx + dy * dy;
        const double t = length > 0 ? std::clamp((px * dx + py * dy) / length, 0.0, 1.0) : 0.0;
        return std::hypot(px - t * dx, py - t * dy) <= kNear;
    };
    const auto lines = std::int64_t(m_history.size());
    // The border being cut when the port stopped, else the travel; the latest line sent that
    // holds the point is the one the machine was in (the port is far behind by lines, never
    // by borders). Nothing found: the last border sent is done again.
    std::int64_t line = 0;
    for (std::int64_t k = lines; k >= 1 && line == 0; --k)
        if (inBorder(k) && holds(k)) line = k;
    for (std::int64_t k = lines; k >= 1 && line == 0; --k)
        if (holds(k)) line = k;
    if (line == 0) line = lines;
    while (line > 1 && inBorder(line) && inBorder(line - 1)) --line;
    ResumeStart start;
    start.skipLines = std::max<std::int64_t>(line - 1, 0);
    start.machine.at = at;
    return start;
}

void MoveProtocol::advance(ToolState& tool, const MachinePosition& move, qint64 z) const {
    tool.at.x += move.x;
    tool.at.y += move.y;
    tool.at.z += move.z;
    if (m_rules == MoveRules::Outlining && z != 0) tool.laserOn = z > 0;
}

void MoveProtocol::skipLine(const QByteArray& line, const MachinePosition& move, qint64 z,
                            bool wait) {
    advance(m_jobTool, move, z);
    ++m_jobLines;
    ++m_skippedLines;
    if (m_keepHistory) m_history.push_back(m_jobTool);
    if (m_rules == MoveRules::Engraving && m_jobLines == 1) m_openingLine = line;
    // Its answer is the one a later wait of the job takes.
    if (!wait) ++m_owedReplies;
    if (m_watcher) m_watcher->lineCarried(m_jobLines, m_machineTool);
}

void MoveProtocol::noteSent(const QByteArray& line, const MachinePosition& move, qint64 z) {
    if (m_safeEnding == 0 && !m_joining) {
        advance(m_jobTool, move, z);
        ++m_jobLines;
        if (m_keepHistory) m_history.push_back(m_jobTool);
        if (m_rules == MoveRules::Engraving && m_jobLines == 1) m_openingLine = line;
    }
    advance(m_machineTool, move, z);
    if (m_watcher) m_watcher->lineCarried(m_jobLines, m_machineTool);
}

void MoveProtocol::joinLine(qint64 x, qint64 y, qint64 z, bool plainMove) {
    m_plainJoin = plainMove;
    send(x, y, z, true, false);
    ++m_joinLines;
}

void MoveProtocol::joinResumePoint() {
    m_joined = true;
    struct Joining {
        bool& flag;
        explicit Joining(bool& f) : flag(f) { flag = true; }
        ~Joining() { flag = false; }
    } joining(m_joining);
    dropStaleAnswers();
    const MachinePosition from = m_machineTool.at;
    const MachinePosition to = m_jobTool.at;
    const bool travels = from.x != to.x || from.y != to.y;
    switch (m_rules) {
        case MoveRules::Milling:
        case MoveRules::Scanner: {
            // Z 0 is the surface the job started on; below it the cutter is in the material.
            qint64 z = from.z;
            // Stopped over the surface (a G-code port's travels rise to its safe height): down
            // to the surface where it stands, above anything left to cut; the port's travel
            // rises again to its safe height, and the job's own plunge starts the border.
            if (m_rules == MoveRules::Milling && z > 0 && portSpeaksGcode()) {
                joinLine(0, 0, -z, true);
                z = 0;
            }
            if (travels && z < 0) {
                joinLine(0, 0, -z);
                z = 0;
            }
            if (travels) joinLine(to.x - from.x, to.y - from.y, 0);
            if (to.z != z) joinLine(0, 0, to.z - z);
            break;
        }
        case MoveRules::Outlining:
            if (m_machineTool.laserOn) joinLine(0, 0, -1);
            if (travels) joinLine(to.x - from.x, to.y - from.y, 0);
            if (m_jobTool.laserOn) joinLine(0, 0, 1);
            break;
        case MoveRules::Engraving:
            // The travel's 0 in the third field ends the engraving at the controller; the
            // opening line sets the pixel pitch again.
            if (travels) joinLine(to.x - from.x, to.y - from.y, 0);
            if (!m_openingLine.isEmpty()) {
                const QList<QByteArray> fields = m_openingLine.chopped(1).split(',');
                joinLine(0, 0, fields.value(2).toLongLong());
            }
            break;
    }
}

void MoveProtocol::dropStaleAnswers() {
    // The answer to the last line of an earlier run that ended without reading it (a crash)
    // would be taken for the answer to a joining line, and the cutter would travel before it
    // is up. What arrives until the line has been quiet a while belongs to that run.
    const int handle = m_link.PortHandle();
    const std::int64_t start = m_host.clockMs();
    std::int64_t lastByte = start;
    for (;;) {
        const std::int64_t now = m_host.clockMs();
        if (now - lastByte >= kQuietBeforeJoinMs || now - start >= kLongestStaleWaitMs) return;
        bool read = false;
        while (m_link.driver().SerialReadByte(handle) >= 0) read = true;
        if (read) lastByte = m_host.clockMs();
        m_host.sleepMs(kPollPauseMs);
    }
}

void MoveProtocol::takeReply() {
    if (m_owedReplies > 0) {
        --m_owedReplies;
        return;
    }
    waitForReply();
}

void MoveProtocol::WaitForOk() {
    if (!m_host.outputEnabled()) return;
    takeReply();
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
    if (m_safeEnding == 0 && skipping()) {
        ++m_jobLines;
        ++m_skippedLines;
        if (m_keepHistory) m_history.push_back(m_jobTool);
        ++m_owedSamples;
        if (m_watcher) m_watcher->lineCarried(m_jobLines, m_machineTool);
        return;
    }
    if (!m_joined) joinResumePoint();
    m_link.driver().noteStop(m_link.PortHandle(), m_host.stopLevel());
    if (m_host.stopLevel() == StopLevel::Abandon) throw abandonedJob();
    // A port that translates lines must know this one is a sample request, not a Z move, even
    // when it is the job's first line.
    m_link.driver().describeLine(m_link.PortHandle(), {m_rules, false});
    // The probe goes down to the surface and back: the machine ends where it was.
    const QByteArray line = formatMoveLine(0, 0, kProbeRequestZ);
    noteSent(line, {0, 0, 0}, 0);
    m_link.sendLine(line, {0, 0, 0});
    ++m_linesSent;
}

qint32 MoveProtocol::readProbeReply() {
    if (m_owedSamples > 0) {
        --m_owedSamples;
        if (m_nextSample >= m_skippedSamples.size())
            refuse(QStringLiteral("В журнале работы нет отсчёта зонда для пропущенной точки."));
        const qint32 sample = m_skippedSamples[m_nextSample++];
        // The machine was not asked: no contact report belongs to this answer.
        m_probeDepth.reset();
        if (m_watcher) m_watcher->sampleRead(m_jobLines, sample);
        return sample;
    }
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
    const qint32 sample = ProbeSampleOf(reply);
    if (m_watcher) m_watcher->sampleRead(m_jobLines, sample);
    return sample;
}
