#include "link/VirtualController.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include "link/SerialRegistry.h"

namespace {

// A line longer than this without its ";" is noise, not a command.
constexpr qsizetype kLongestLine = 64;
const QByteArray kProbeRequest = "0,0,100";
const QByteArray kOk = "OK\r\n";
const QByteArray kError = "ERR\r\n";

// A signed 32-bit whole number in plain decimal: an optional "-" and digits.
std::optional<qint64> readField(const QByteArray& text) {
    const qsizetype start = text.startsWith('-') ? 1 : 0;
    if (text.size() == start || text.size() - start > 10) return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (start == 1) value = -value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return value;
}

class VirtualControllerTransport final : public SerialTransport {
public:
    explicit VirtualControllerTransport(bool probe) : m_controller(probe) {}

    qint64 write(const QByteArray& bytes) override {
        for (const ControllerExchange& exchange : m_controller.receive(bytes))
            m_replies += exchange.reply;
        return bytes.size();
    }
    void readAvailable(QByteArray& into) override {
        into += m_replies;
        m_replies.clear();
    }
    VirtualController& controller() { return m_controller; }

private:
    VirtualController m_controller;
    QByteArray m_replies;
};

}  // namespace

QList<ControllerExchange> VirtualController::receive(const QByteArray& bytes) {
    QList<ControllerExchange> done;
    for (const char c : bytes) {
        // Line ends and blanks between lines (someone typing at a terminal) are not part of a
        // command.
        if (c == '\r' || c == '\n' || c == ' ') continue;
        if (c != ';') {
            m_partial += c;
            if (m_partial.size() <= kLongestLine) continue;
            done.append({m_partial, kError});
            m_partial.clear();
            continue;
        }
        const QByteArray command = m_partial;
        m_partial.clear();
        m_lines.append(command + ';');
        done.append({m_lines.back(), answer(command)});
    }
    return done;
}

QByteArray VirtualController::answer(const QByteArray& line) {
    const QList<QByteArray> fields = line.split(',');
    if (fields.size() != 3) return kError;
    std::optional<qint64> step[3];
    for (int i = 0; i < 3; ++i) {
        step[i] = readField(fields[i]);
        if (!step[i]) return kError;
    }
    const MachinePosition here = m_path.back();
    // The probe goes down to the surface and back up: the machine stays where it was.
    if (m_probe && line == kProbeRequest)
        return QByteArray::number(TestSurfaceSample(here.x, here.y)) + "\r\n" + kOk;
    m_path.append({here.x + *step[0], here.y + *step[1], here.z + *step[2]});
    return kOk;
}

int TestSurfaceSample(qint64 x, qint64 y) {
    constexpr double kAcross = 20000.0;
    const double u = double(-x) / kAcross;
    const double v = double(y) / kAcross;
    const double r = std::hypot(u - 0.5, v - 0.5);
    const double height = 0.45 + 0.3 * std::cos(std::numbers::pi * r) +
                          0.1 * std::sin(6 * std::numbers::pi * u) + 0.15 * (v - u);
    return int(std::lround(std::clamp(height, 0.0, 1.0) * 255));
}

std::unique_ptr<SerialTransport> makeVirtualControllerTransport(bool probe) {
    return std::make_unique<VirtualControllerTransport>(probe);
}

VirtualController* VirtualControllerOf(int handle) {
    auto* transport = dynamic_cast<VirtualControllerTransport*>(SerialTransportOf(handle));
    return transport ? &transport->controller() : nullptr;
}
