#include "link/virtual/VirtualGrbl.h"

#include <algorithm>
#include <cmath>

#include "link/virtual/VirtualController.h"

namespace {

constexpr int kReceiveBuffer = 128;
// 16 blocks on the 328P, one of them always kept free.
constexpr std::size_t kPlannerBlocks = 15;
constexpr qsizetype kLongestLine = 80;
constexpr int kGreyLevels = 255;
// Braking is integrated in steps this long (seconds).
constexpr double kBrakeStep = 0.0005;

QByteArray error(int code) {
    return "error:" + QByteArray::number(code) + "\r\n";
}

QByteArray triple(const Millimetres& at) {
    return QByteArray::number(at.x, 'f', 3) + ',' + QByteArray::number(at.y, 'f', 3) + ',' +
           QByteArray::number(at.z, 'f', 3);
}

double distance(const Millimetres& a, const Millimetres& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

// The line without blanks, comments and line end, in capitals.
QByteArray cleaned(const QByteArray& line) {
    QByteArray text;
    bool inParentheses = false;
    for (const char c : line) {
        if (inParentheses) {
            inParentheses = c != ')';
        } else if (c == '(') {
            inParentheses = true;
        } else if (c == ';') {
            break;
        } else if (c != ' ' && c != '\r' && c != '\t') {
            text += char(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return text;
}

struct Word {
    char letter;
    double value;
};

// GRBL 1.1's settings at power-on, with this machine's speeds.
std::map<int, double> defaultSettings() {
    return {{0, 10},
            {1, 25},
            {2, 0},
            {3, 0},
            {4, 0},
            {5, 0},
            {6, 0},
            {10, 1},
            {11, 0.010},
            {12, 0.002},
            {13, 0},
            {20, 0},
            {21, 0},
            {22, 0},
            {23, 0},
            {24, 25},
            {25, 500},
            {26, 250},
            {27, 1},
            {30, 1000},
            {31, 0},
            {32, 0},
            {100, 200},
            {101, 200},
            {102, 200},
            {110, VirtualGrbl::kRapidMmPerMin},
            {111, VirtualGrbl::kRapidMmPerMin},
            {112, VirtualGrbl::kRapidMmPerMin},
            {120, VirtualGrbl::kAccelerationMmPerS2},
            {121, VirtualGrbl::kAccelerationMmPerS2},
            {122, VirtualGrbl::kAccelerationMmPerS2},
            {130, 200},
            {131, 200},
            {132, 200}};
}

}  // namespace

VirtualGrbl::VirtualGrbl(const StepRatios& ratios, double heightRange)
    : m_ratios(ratios), m_heightRange(heightRange), m_settings(defaultSettings()) {}

QByteArray VirtualGrbl::banner() {
    return "\r\nGrbl 1.1h ['$' for help]\r\n";
}

bool VirtualGrbl::busy() const {
    return m_probe.has_value() || (!m_planner.empty() && !m_holdDone);
}

QByteArray VirtualGrbl::state() const {
    if (m_alarm) return "Alarm";
    if (m_hold) return m_holdDone ? "Hold:0" : "Hold:1";
    return m_planner.empty() && !m_probe ? "Idle" : "Run";
}

QByteArray VirtualGrbl::spindle() const {
    return 'M' + QByteArray::number(m_spindle) + " S" + QByteArray::number(m_power);
}

QByteArray VirtualGrbl::status() const {
    QByteArray report = '<' + state() + "|MPos:" + triple(m_machine) +
                        "|FS:" + QByteArray::number(std::lround(m_speed * 60)) + ',' +
                        QByteArray::number(m_spindle == 5 ? 0 : m_power);
    if (m_offset.x != 0 || m_offset.y != 0 || m_offset.z != 0) report += "|WCO:" + triple(m_offset);
    return report + ">\r\n";
}

QByteArray VirtualGrbl::reset() {
    QByteArray out;
    // Stopping the steppers in the middle of a motion loses steps: GRBL locks itself then.
    if (busy()) {
        m_alarm = true;
        out += "ALARM:3\r\n";
    }
    m_planner.clear();
    m_probe.reset();
    m_received.clear();
    m_planned = m_machine;
    m_speed = 0;
    m_hold = m_holdDone = false;
    m_relative = false;
    m_feed = 0;
    m_spindle = 5;
    m_power = 0;
    out += banner();
    if (m_alarm) out += "[MSG:'$H'|'$X' to unlock]\r\n";
    return out;
}

QByteArray VirtualGrbl::receive(const QByteArray& bytes) {
    QByteArray out;
    for (const char c : bytes) {
        switch (c) {
            case '?':
                out += status();
                continue;
            case '!':
                if (busy()) m_hold = true;
                continue;
            case '~':
                if (m_hold) m_hold = m_holdDone = false;
                continue;
            case 0x18:
                out += reset();
                continue;
            default:
                break;
        }
        m_received += c;
        if (m_received.size() > kReceiveBuffer) m_overflowed = true;
        m_mostBuffered = std::max(m_mostBuffered, int(m_received.size()));
    }
    return out + takeLines();
}

QByteArray VirtualGrbl::advance(double ms) {
    const double seconds = ms / 1000;
    if (m_probe) return runProbe(seconds);
    return runPlanner(seconds);
}

void VirtualGrbl::moveAlong(double length) {
    // Along the planned path, block after block, as far as `length` reaches.
    while (length > 0 && !m_planner.empty()) {
        const Block& block = m_planner.front();
        const double left = distance(m_machine, block.target);
        if (length < left) {
            const double share = length / left;
            m_machine = {m_machine.x + (block.target.x - m_machine.x) * share,
                         m_machine.y + (block.target.y - m_machine.y) * share,
                         m_machine.z + (block.target.z - m_machine.z) * share};
            m_lowestZ = std::min(m_lowestZ, m_machine.z);
            return;
        }
        length -= left;
        m_machine = block.target;
        m_lowestZ = std::min(m_lowestZ, m_machine.z);
        m_path.append(m_machine);
        m_planner.pop_front();
    }
}

QByteArray VirtualGrbl::runPlanner(double seconds) {
    QByteArray out;
    while (seconds > 0 && !m_planner.empty() && !m_holdDone) {
        if (m_hold) {
            // Braking along the path until the speed is gone.
            const double step = std::min(seconds, kBrakeStep);
            const double slower = std::max(0.0, m_speed - kAccelerationMmPerS2 * step);
            moveAlong((m_speed + slower) / 2 * step);
            m_speed = slower;
            seconds -= step;
            if (m_speed <= 0 || m_planner.empty()) m_holdDone = true;
        } else {
            const Block& block = m_planner.front();
            m_speed = block.speed;
            const double left = distance(m_machine, block.target);
            const double needed = block.speed > 0 ? left / block.speed : 0;
            if (needed > seconds) {
                moveAlong(block.speed * seconds);
                seconds = 0;
            } else {
                moveAlong(left);
                seconds -= needed;
            }
        }
        out += takeLines();
    }
    if (m_planner.empty()) {
        m_speed = 0;
        if (m_hold) m_holdDone = true;
    }
    return out + takeLines();
}

QByteArray VirtualGrbl::runProbe(double seconds) {
    Probe& probe = *m_probe;
    QByteArray out;
    while (seconds > 0 && m_probe) {
        const double step = std::min(seconds, kBrakeStep);
        seconds -= step;
        const double slower =
            probe.contact ? std::max(0.0, m_speed - kAccelerationMmPerS2 * step) : m_speed;
        double z = m_machine.z - (m_speed + slower) / 2 * step;
        m_speed = slower;
        const double surface = surfaceAt(m_machine.x, m_machine.y);
        if (!probe.contact && z <= surface) {
            // The probe input closes exactly at the surface; the report gives that point.
            probe.contact = Millimetres{m_machine.x, m_machine.y, surface};
        }
        if (z <= probe.targetZ) {
            z = probe.targetZ;
            m_speed = 0;
        }
        m_machine.z = z;
        m_lowestZ = std::min(m_lowestZ, z);
        if (m_speed > 0) continue;
        m_path.append(m_machine);
        m_planned = m_machine;
        const bool touched = probe.contact.has_value();
        const Millimetres contact = probe.contact.value_or(m_machine);
        m_probe.reset();
        if (!touched) {
            m_alarm = true;
            return out + "ALARM:5\r\n";
        }
        out += "[PRB:" + triple(contact) + ":1]\r\nok\r\n";
    }
    return out + takeLines();
}

QByteArray VirtualGrbl::takeLines() {
    QByteArray out;
    for (qsizetype end = m_received.indexOf('\n'); end >= 0; end = m_received.indexOf('\n')) {
        if (m_planner.size() >= kPlannerBlocks || m_probe) break;
        const QByteArray line = m_received.left(end);
        // A probing cycle and the settings start from a standing machine: the line waits.
        const QByteArray text = cleaned(line);
        if ((text.contains("G38.2") || text.startsWith('$')) && !m_planner.empty()) break;
        m_received.remove(0, end + 1);
        m_lines.append(line.trimmed());
        out += m_lines.size() == m_refuseLine ? error(20) : execute(line);
    }
    return out;
}

QByteArray VirtualGrbl::system(const QByteArray& text) {
    if (text == "$X") {
        m_alarm = false;
        return "ok\r\n";
    }
    if (text == "$$") {
        QByteArray out;
        for (const auto& [number, value] : m_settings) {
            out += '$' + QByteArray::number(number) + '=' +
                   (value == std::floor(value) ? QByteArray::number(qint64(value))
                                               : QByteArray::number(value, 'f', 3)) +
                   "\r\n";
        }
        return out + "ok\r\n";
    }
    if (text == "$G") {
        return "[GC:G0 G54 G17 G21 " + QByteArray(m_relative ? "G91" : "G90") + " G94 M" +
               QByteArray::number(m_spindle) + " M9 T0 F" + QByteArray::number(m_feed) + " S" +
               QByteArray::number(m_power) + "]\r\nok\r\n";
    }
    if (text == "$H") return error(5);
    if (text == "$I") return "[VER:1.1h.20190825:]\r\n[OPT:V,15,128]\r\nok\r\n";
    const qsizetype equals = text.indexOf('=');
    if (equals > 1) {
        bool numberOk = false, valueOk = false;
        const int number = text.mid(1, equals - 1).toInt(&numberOk);
        const double value = text.mid(equals + 1).toDouble(&valueOk);
        if (!numberOk || !m_settings.contains(number)) return error(3);
        if (!valueOk) return error(2);
        m_settings[number] = value;
        return "ok\r\n";
    }
    return error(3);
}

void VirtualGrbl::plan(const Millimetres& target, double feedMmPerMin) {
    const double length = distance(m_planned, target);
    if (length <= 0) return;
    const double atFeed = length / (feedMmPerMin / 60);
    const double seconds = std::max(atFeed, m_shortestBlockMs / 1000);
    m_planner.push_back({target, length / seconds});
    m_planned = target;
}

QByteArray VirtualGrbl::execute(const QByteArray& raw) {
    if (raw.size() > kLongestLine) return error(11);
    const QByteArray text = cleaned(raw);
    if (text.isEmpty()) return "ok\r\n";
    if (text.startsWith('$')) return system(text);
    if (m_alarm) return error(9);
    Command command;
    if (const int code = readCommand(text, command)) return error(code);
    return carryOut(command);
}

int VirtualGrbl::readCommand(const QByteArray& text, Command& command) {
    QList<Word> words;
    for (qsizetype i = 0; i < text.size();) {
        const char letter = text[i++];
        if (letter < 'A' || letter > 'Z') return 1;
        qsizetype end = i;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) ||
                                     text[end] == '.' || text[end] == '-' || text[end] == '+'))
            ++end;
        bool ok = false;
        const double value = text.mid(i, end - i).toDouble(&ok);
        if (!ok) return 2;
        words.append({letter, value});
        i = end;
    }
    for (const Word& word : words) {
        const int tenths = int(std::lround(word.value * 10));
        switch (word.letter) {
            case 'G':
                if (tenths == 0 || tenths == 10) {
                    command.motion = tenths / 10;
                } else if (tenths == 382) {
                    command.motion = 382;
                } else if (tenths == 210) {
                } else if (tenths == 900 || tenths == 910) {
                    m_relative = tenths == 910;
                } else if (tenths == 530) {
                    command.machineCoordinates = true;
                } else if (tenths == 920) {
                    command.setOffset = true;
                } else if (tenths == 921) {
                    command.clearOffset = true;
                } else {
                    return 20;
                }
                break;
            case 'M':
                if (tenths == 30 || tenths == 40 || tenths == 50) {
                    command.spindle = tenths / 10;
                } else if (tenths == 20 || tenths == 300) {
                    command.spindle = 5;
                } else {
                    return 20;
                }
                break;
            case 'X':
            case 'Y':
            case 'Z':
                command.axis[word.letter - 'X'] = word.value;
                break;
            case 'F':
                if (word.value < 0) return 4;
                command.feed = word.value;
                break;
            case 'S':
                if (word.value < 0) return 4;
                command.power = word.value;
                break;
            default:
                return 20;
        }
    }
    return 0;
}

QByteArray VirtualGrbl::carryOut(Command command) {
    const auto& axis = command.axis;
    if (command.feed) m_feed = *command.feed;
    if (command.power) m_power = *command.power;
    if (command.spindle) m_spindle = *command.spindle;
    if (command.clearOffset) m_offset = {};
    const bool anyAxis = axis[0] || axis[1] || axis[2];
    double* const offset[3] = {&m_offset.x, &m_offset.y, &m_offset.z};
    double* const planned[3] = {&m_planned.x, &m_planned.y, &m_planned.z};
    if (command.setOffset) {
        if (!anyAxis) return error(26);
        for (int i = 0; i < 3; ++i)
            if (axis[i]) *offset[i] = *planned[i] - *axis[i];
        return "ok\r\n";
    }
    if (!anyAxis) return "ok\r\n";
    const int motion = command.motion.value_or(0);
    if (motion != 0 && m_feed <= 0) return error(22);
    Millimetres target = m_planned;
    double* const goal[3] = {&target.x, &target.y, &target.z};
    for (int i = 0; i < 3; ++i) {
        if (!axis[i]) continue;
        if (command.machineCoordinates) {
            *goal[i] = *axis[i];
        } else if (m_relative) {
            *goal[i] += *axis[i];
        } else {
            *goal[i] = *axis[i] + *offset[i];
        }
    }
    if (motion == 382) return startProbe(target.z);
    plan(target, motion == 0 ? kRapidMmPerMin : m_feed);
    return "ok\r\n";
}

QByteArray VirtualGrbl::startProbe(double targetZ) {
    if (targetZ >= m_machine.z) return error(33);
    if (surfaceAt(m_machine.x, m_machine.y) >= m_machine.z) {
        m_alarm = true;
        return "ALARM:4\r\n";
    }
    // The "ok" comes when the probe has stopped (runProbe).
    m_probe = Probe{targetZ, m_feed / 60, std::nullopt};
    m_speed = m_probe->speed;
    return {};
}

double VirtualGrbl::surfaceAt(double x, double y) const {
    if (m_surface) return m_surface(x, y);
    const qint64 stepX = m_ratios.x != 0 ? std::llround(x / m_ratios.x) : 0;
    const qint64 stepY = m_ratios.y != 0 ? std::llround(y / m_ratios.y) : 0;
    const int sample = TestSurfaceSample(stepX, stepY);
    return -m_heightRange * (1.0 - double(sample) / kGreyLevels);
}
