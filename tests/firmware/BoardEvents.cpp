#include "BoardEvents.h"

#include <QFile>
#include <algorithm>

BoardEvents ReadBoardEvents(const QString& path) {
    BoardEvents events;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return events;
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
        line.chop(1);
        const QList<QByteArray> words = line.split(' ');
        if (words.size() < 2) continue;
        const std::uint64_t cycle = words[1].toULongLong();
        events.lastCycle = std::max(events.lastCycle, cycle);
        const QByteArray rest = words.size() > 2 ? words.mid(2).join(' ') : QByteArray();
        if (words[0] == "line") {
            events.lines.append({rest, cycle, {}});
        } else if (words[0] == "reply") {
            events.replies.append(rest);
        } else if (words[0] == "power") {
            events.power.append({cycle, rest.toInt()});
        } else if (words[0] == "step" && words.size() == 4) {
            const StepPulse pulse{cycle, words[2][0] - 'x', words[3] == "+" ? 1 : -1};
            ++events.counts[pulse.axis][pulse.direction > 0 ? 1 : 0];
            if (!events.lines.isEmpty()) events.lines.back().pulses.append(pulse);
        }
    }
    return events;
}

double PowerHighShare(const QList<PowerEdge>& power, std::uint64_t from, std::uint64_t to) {
    if (to <= from) return 0;
    std::uint64_t high = 0;
    int level = 0;
    std::uint64_t since = 0;
    for (const PowerEdge& edge : power) {
        if (level == 1) {
            const std::uint64_t start = std::max(since, from);
            const std::uint64_t end = std::min(edge.cycle, to);
            if (end > start) high += end - start;
        }
        level = edge.level;
        since = edge.cycle;
    }
    if (level == 1 && to > std::max(since, from)) high += to - std::max(since, from);
    return double(high) / double(to - from);
}

std::array<long, 3> LineSteps(const QByteArray& text) {
    const QList<QByteArray> fields = text.split(',');
    std::array<long, 3> steps{};
    for (int i = 0; i < 3 && i < fields.size(); ++i) steps[i] = fields[i].toLong();
    return steps;
}
