#include "link/virtual/VirtualController.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "link/serial/SerialDriver.h"

namespace {

const QByteArray kProbeRequest = "0,0,100";
const QByteArray kOk = "OK\r\n";
const QByteArray kError = "ERR\r\n";

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
    for (const MoveLineReader::Line& read : m_reader.take(bytes)) {
        if (!read.ended) {
            done.append({read.text, kError});
            continue;
        }
        m_lines.append(read.text + ';');
        done.append({m_lines.back(), answer(read.text)});
    }
    return done;
}

QByteArray VirtualController::answer(const QByteArray& line) {
    const auto steps = ParseMoveLine(line);
    if (!steps) return kError;
    const MachinePosition here = m_path.back();
    // The probe goes down to the surface and back up: the machine stays where it was.
    if (m_probe && line == kProbeRequest)
        return QByteArray::number(TestSurfaceSample(here.x, here.y)) + "\r\n" + kOk;
    m_path.append({here.x + (*steps)[0], here.y + (*steps)[1], here.z + (*steps)[2]});
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

VirtualController* VirtualControllerOf(const SerialDriver& driver, int handle) {
    auto* transport = dynamic_cast<VirtualControllerTransport*>(driver.transportOf(handle));
    return transport ? &transport->controller() : nullptr;
}
