#include "link/gcode/GcodeWriter.h"

#include <cmath>
#include <cstring>

namespace {

// Directions closer than this (the sine of the angle between them) count as the same.
constexpr double kSameDirection = 1e-9;

bool moves(const Millimetres& delta) {
    return delta.x != 0 || delta.y != 0 || delta.z != 0;
}

}  // namespace

QByteArray GcodeWriter::number(double value) {
    QByteArray text = QByteArray::number(value, 'f', 6);
    while (text.endsWith('0')) text.chop(1);
    if (text.endsWith('.')) text.chop(1);
    if (text == "-0" || text.isEmpty()) text = "0";
    return text;
}

bool GcodeWriter::continues(const Held& held, const char* code, const Millimetres& delta,
                            std::optional<double> feed, std::optional<int> power) const {
    if (std::strcmp(held.code, code) != 0 || held.feed != feed || held.power != power) return false;
    const Millimetres& a = held.delta;
    const double dot = a.x * delta.x + a.y * delta.y + a.z * delta.z;
    if (dot <= 0) return false;
    const double cx = a.y * delta.z - a.z * delta.y;
    const double cy = a.z * delta.x - a.x * delta.z;
    const double cz = a.x * delta.y - a.y * delta.x;
    const double cross2 = cx * cx + cy * cy + cz * cz;
    const double lengths2 = (a.x * a.x + a.y * a.y + a.z * a.z) *
                            (delta.x * delta.x + delta.y * delta.y + delta.z * delta.z);
    return cross2 <= kSameDirection * kSameDirection * lengths2;
}

void GcodeWriter::move(const char* code, const Millimetres& delta, std::optional<double> feed,
                       std::optional<int> power) {
    if (!moves(delta)) return;
    if (m_merging && m_held && continues(*m_held, code, delta, feed, power)) {
        m_held->delta.x += delta.x;
        m_held->delta.y += delta.y;
        m_held->delta.z += delta.z;
    } else {
        flush();
        m_held = Held{code, delta, feed, power};
    }
    m_position.x += delta.x;
    m_position.y += delta.y;
    m_position.z += delta.z;
}

void GcodeWriter::line(const QByteArray& text, std::optional<int> power) {
    flush();
    m_out.append(text);
    if (power) m_power = power;
}

void GcodeWriter::flush() {
    if (!m_held) return;
    const Held held = *m_held;
    m_held.reset();
    QByteArray text = held.code;
    const char axes[] = {'X', 'Y', 'Z'};
    const double target[] = {m_position.x, m_position.y, m_position.z};
    double* written[] = {&m_written.x, &m_written.y, &m_written.z};
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        const QByteArray value = number(target[i] - *written[i]);
        if (value == "0") continue;
        text += ' ' + QByteArray(1, axes[i]) + value;
        *written[i] += value.toDouble();
        any = true;
    }
    if (!any) return;
    if (held.power && held.power != m_power) {
        text += " S" + QByteArray::number(*held.power);
        m_power = held.power;
    }
    if (held.feed && *held.feed != m_feed) {
        text += " F" + number(*held.feed);
        m_feed = *held.feed;
    }
    m_out.append(text);
}

void GcodeWriter::restart(const Millimetres& position) {
    m_out.clear();
    m_held.reset();
    m_position = position;
    m_written = position;
    m_feed = 0;
    m_power.reset();
}
