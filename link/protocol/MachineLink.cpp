#include "link/protocol/MachineLink.h"

#include <map>

#include "link/serial/PortKinds.h"
#include "link/serial/SerialDriver.h"

MachineLink::MachineLink(const PortKinds& kinds, QObject* parent)
    : MachineLink(
          kinds.driver(),
          PortFunctions{[&kinds](const QString& name, int baud) { return kinds.open(name, baud); },
                        [&kinds](int handle) { kinds.driver().SerialClose(handle); }},
          parent) {}

MachineLink::MachineLink(SerialDriver& driver, PortFunctions port, QObject* parent)
    : QObject(parent), m_driver(driver), m_port(std::move(port)) {}

MachineLink::~MachineLink() {
    if (m_handle > 0) m_port.close(m_handle);
}

int MachineLink::open(const QString& name) {
    if (m_handle > 0) m_port.close(m_handle);
    setHandle(m_port.open(name, kPortBaud));
    return m_handle;
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
    emit positionChanged(m_position);
}
