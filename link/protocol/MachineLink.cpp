#include "link/protocol/MachineLink.h"

#include <cmath>

#include "app/config/ProgramSettings.h"
#include "link/serial/PortKinds.h"
#include "link/serial/SerialDriver.h"

MachineLink::MachineLink(const PortKinds& kinds, const ProgramSettings& settings, QObject* parent)
    : MachineLink(
          kinds.driver(),
          PortFunctions{[&kinds](const QString& name, int baud) { return kinds.open(name, baud); },
                        [&kinds](int handle) { kinds.driver().SerialClose(handle); }},
          settings, parent) {}

MachineLink::MachineLink(SerialDriver& driver, PortFunctions port, const ProgramSettings& settings,
                         QObject* parent)
    : QObject(parent), m_driver(driver), m_port(std::move(port)), m_settings(settings) {}

MachineLink::~MachineLink() {
    if (m_handle > 0) m_port.close(m_handle);
}

int MachineLink::open(const QString& name) {
    if (m_handle > 0) m_port.close(m_handle);
    m_handle = 0;
    m_lost = false;
    m_portName = name;
    setHandle(m_port.open(name, kPortBaud));
    return m_handle;
}

void MachineLink::loseLink() {
    m_lost = true;
    if (m_handle > 0) m_port.close(m_handle);
    setHandle(0);
}

void MachineLink::close() {
    if (m_handle <= 0) {
        m_handle = 0;
        return;
    }
    m_port.close(m_handle);
    setHandle(0);
}

void MachineLink::adopt(int handle) {
    if (m_handle > 0 && m_handle != handle) m_port.close(m_handle);
    m_lost = false;
    setHandle(handle);
}

void MachineLink::setHandle(int handle) {
    m_handle = handle;
    m_waiting.clear();
    m_position = {};
    emit portChanged(m_handle);
    emit positionChanged(m_position);
}

void MachineLink::sendLine(const QByteArray& line, const MachinePosition& move) {
    if (m_handle <= 0) return;
    m_driver.SerialWrite(m_handle, line);
    m_waiting.push_back(move);
}

void MachineLink::lineAnswered() {
    if (m_waiting.empty()) return;
    const MachinePosition move = m_waiting.front();
    m_waiting.pop_front();
    m_position.x += move.x;
    m_position.y += move.y;
    m_position.z += move.z;
    // The controller's own report, where the port has one, wins over the count.
    takeReportedPosition();
    emit positionChanged(m_position);
}

void MachineLink::refreshPosition() {
    const MachinePosition before = m_position;
    takeReportedPosition();
    if (!(m_position == before)) emit positionChanged(m_position);
}

void MachineLink::takeReportedPosition() {
    const auto reported = m_driver.reportedPosition(m_handle);
    if (!reported) return;
    const auto steps = [](double millimetres, double ratio) {
        return ratio != 0 ? qint64(std::llround(millimetres / ratio)) : 0;
    };
    m_position = {steps(reported->x, m_settings.StepRatioX),
                  steps(reported->y, m_settings.StepRatioY),
                  steps(reported->z, m_settings.StepRatioZ)};
}
