#include "link/virtual/VirtualGrbl.h"

#include <cmath>
#include <optional>

#include "link/virtual/VirtualController.h"

namespace {

constexpr int kReceiveBuffer = 128;
constexpr std::size_t kPlannerBlocks = 16;
constexpr qsizetype kLongestLine = 80;
constexpr int kGreyLevels = 255;

QByteArray error(int code) {
    return "error:" + QByteArray::number(code) + "\r\n";
}

QByteArray triple(const Millimetres& at) {
    return QByteArray::number(at.x, 'f', 3) + ',' + QByteArray::number(at.y, 'f', 3) + ',' +
           QByteArray::number(at.z, 'f', 3);
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

}  // namespace

VirtualGrbl::VirtualGrbl(const StepRatios& ratios, double heightRange)
    : m_ratios(ratios), m_heightRange(heightRange) {}

QByteArray VirtualGrbl::banner() {
    return "\r\nGrbl 1.1h ['$' for help]\r\n";
}

QByteArray VirtualGrbl::state() const {
    if (m_alarm) return "Alarm";
    if (m_hold) return "Hold:0";
    return m_planner.empty() ? "Idle" : "Run";
}

QByteArray VirtualGrbl::status() const {
    QByteArray report = '<' + state() + "|MPos:" + triple(m_machine) + "|FS:0,0";
    if (m_offset.x != 0 || m_offset.y != 0 || m_offset.z != 0) report += "|WCO:" + triple(m_offset);
    return report + ">\r\n";
}

QByteArray VirtualGrbl::reset() {
    QByteArray out;
    // Stopping steppers in the middle of a motion loses steps: GRBL locks itself then.
    if (!m_planner.empty() && !m_hold) {
        m_alarm = true;
        out += "ALARM:3\r\n";
    }
    m_planner.clear();
    m_received.clear();
    m_planned = m_machine;
    m_hold = false;
    m_relative = false;
    m_feed = 0;
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
                if (!m_planner.empty()) m_hold = true;
                continue;
            case '~':
                m_hold = false;
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

QByteArray VirtualGrbl::runBlock(bool* moved) {
    if (moved) *moved = false;
    if (m_hold || m_planner.empty()) return {};
    m_machine = m_planner.front();
    m_planner.pop_front();
    m_path.append(m_machine);
    if (moved) *moved = true;
    if (m_planner.empty()) m_hold = false;
    return takeLines();
}

QByteArray VirtualGrbl::takeLines() {
    QByteArray out;
    for (qsizetype end = m_received.indexOf('\n'); end >= 0; end = m_received.indexOf('\n')) {
        if (m_planner.size() >= kPlannerBlocks) break;
        const QByteArray line = m_received.left(end);
        // A probing cycle starts from a standing machine: the line waits for the planner.
        if (cleaned(line).contains("G38.2") && !m_planner.empty()) break;
        m_received.remove(0, end + 1);
        m_lines.append(line.trimmed());
        out += m_lines.size() == m_refuseLine ? error(20) : execute(line);
    }
    return out;
}

QByteArray VirtualGrbl::execute(const QByteArray& raw) {
    if (raw.size() > kLongestLine) return error(11);
    const QByteArray text = cleaned(raw);
    if (text.isEmpty()) return "ok\r\n";
    if (text.startsWith('$')) {
        if (text != "$X") return error(3);
        m_alarm = false;
        return "ok\r\n";
    }
    if (m_alarm) return error(9);

    QList<Word> words;
    for (qsizetype i = 0; i < text.size();) {
        const char letter = text[i++];
        if (letter < 'A' || letter > 'Z') return error(1);
        qsizetype end = i;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) ||
                                     text[end] == '.' || text[end] == '-' || text[end] == '+'))
            ++end;
        bool ok = false;
        const double value = text.mid(i, end - i).toDouble(&ok);
        if (!ok) return error(2);
        words.append({letter, value});
        i = end;
    }

    std::optional<int> motion;  // 0, 1 or 382 (G38.2)
    bool machineCoordinates = false, setOffset = false, clearOffset = false;
    std::optional<double> axis[3];
    std::optional<double> feed;
    for (const Word& word : words) {
        const int tenths = int(std::lround(word.value * 10));
        switch (word.letter) {
            case 'G':
                if (tenths == 0 || tenths == 10) {
                    motion = tenths / 10;
                } else if (tenths == 382) {
                    motion = 382;
                } else if (tenths == 210) {
                } else if (tenths == 900 || tenths == 910) {
                    m_relative = tenths == 910;
                } else if (tenths == 530) {
                    machineCoordinates = true;
                } else if (tenths == 920) {
                    setOffset = true;
                } else if (tenths == 921) {
                    clearOffset = true;
                } else {
                    return error(20);
                }
                break;
            case 'M':
                if (tenths != 30 && tenths != 40 && tenths != 50 && tenths != 20 && tenths != 300)
                    return error(20);
                break;
            case 'X':
            case 'Y':
            case 'Z':
                axis[word.letter - 'X'] = word.value;
                break;
            case 'F':
                if (word.value < 0) return error(4);
                feed = word.value;
                break;
            case 'S':
                if (word.value < 0) return error(4);
                break;
            default:
                return error(20);
        }
    }
    if (feed) m_feed = *feed;
    if (clearOffset) m_offset = {};
    const bool anyAxis = axis[0] || axis[1] || axis[2];
    double* const offset[3] = {&m_offset.x, &m_offset.y, &m_offset.z};
    double* const planned[3] = {&m_planned.x, &m_planned.y, &m_planned.z};
    if (setOffset) {
        if (!anyAxis) return error(26);
        for (int i = 0; i < 3; ++i)
            if (axis[i]) *offset[i] = *planned[i] - *axis[i];
        return "ok\r\n";
    }
    if (!anyAxis) return "ok\r\n";
    if (!motion) motion = 0;
    if (*motion != 0 && m_feed <= 0) return error(22);
    Millimetres target = m_planned;
    double* const goal[3] = {&target.x, &target.y, &target.z};
    for (int i = 0; i < 3; ++i) {
        if (!axis[i]) continue;
        if (machineCoordinates) {
            *goal[i] = *axis[i];
        } else if (m_relative) {
            *goal[i] += *axis[i];
        } else {
            *goal[i] = *axis[i] + *offset[i];
        }
    }
    if (*motion == 382) return probe(target.z);
    m_planner.push_back(target);
    m_planned = target;
    return "ok\r\n";
}

QByteArray VirtualGrbl::probe(double targetZ) {
    if (targetZ >= m_machine.z) return error(33);
    const double surface = surfaceAt(m_machine.x, m_machine.y);
    if (surface >= m_machine.z) {
        m_alarm = true;
        return "ALARM:4\r\n";
    }
    if (surface < targetZ) {
        m_machine.z = targetZ;
        m_planned = m_machine;
        m_path.append(m_machine);
        m_alarm = true;
        return "ALARM:5\r\n";
    }
    m_machine.z = surface;
    m_planned = m_machine;
    m_path.append(m_machine);
    return "[PRB:" + triple(m_machine) + ":1]\r\nok\r\n";
}

double VirtualGrbl::surfaceAt(double x, double y) const {
    const qint64 stepX = m_ratios.x != 0 ? std::llround(x / m_ratios.x) : 0;
    const qint64 stepY = m_ratios.y != 0 ? std::llround(y / m_ratios.y) : 0;
    const int sample = TestSurfaceSample(stepX, stepY);
    return -m_heightRange * (1.0 - double(sample) / kGreyLevels);
}
