#include "link/serial/SerialDriver.h"

#include <chrono>
#include <thread>

#include "link/serial/QtSerialTransport.h"

namespace {

// The pause after every write, which spaces consecutive move lines.
constexpr std::chrono::milliseconds kPauseAfterWrite{2};

}  // namespace

void SerialDriver::sleepPause(std::chrono::milliseconds pause) {
    std::this_thread::sleep_for(pause);
}

SerialDriver::OpenPort* SerialDriver::findPort(int handle) {
    const auto found = m_ports.find(handle);
    return found == m_ports.end() ? nullptr : &found->second;
}

int SerialDriver::attach(std::unique_ptr<SerialTransport> transport) {
    const int handle = ++m_lastHandle;
    m_ports[handle].transport = std::move(transport);
    return handle;
}

int SerialDriver::SerialOpen(const QString& name, int baud) {
    auto port = std::make_unique<QtSerialTransport>();
    const int result = port->open(name, baud);
    m_openError = port->openError();
    if (result != 0) return result;
    return attach(std::move(port));
}

void SerialDriver::SerialWrite(int handle, const QByteArray& text) {
    OpenPort* port = findPort(handle);
    if (!port) return;
    const qint64 written = port->transport->write(text);
    if (port->tap) port->tap->sent(text.left(qMax<qint64>(written, 0)));
    if (port->transport->pausesAfterWrite()) m_pause(kPauseAfterWrite);
    if (written < text.size()) port->transport->clearError();
}

int SerialDriver::SerialReadByte(int handle) {
    OpenPort* port = findPort(handle);
    if (!port) return -1;
    if (port->next >= port->received.size()) {
        port->received.clear();
        port->next = 0;
        port->transport->readAvailable(port->received);
        if (port->received.isEmpty()) return -1;
        if (port->tap) port->tap->received(port->received);
    }
    return static_cast<unsigned char>(port->received[port->next++]);
}

void SerialDriver::describeLine(int handle, const LineMeaning& meaning) {
    if (OpenPort* port = findPort(handle)) port->transport->describeLine(meaning);
}

void SerialDriver::noteStop(int handle, StopLevel level) {
    if (OpenPort* port = findPort(handle)) port->transport->noteStop(level);
}

void SerialDriver::describeJob(int handle, const QString& job) {
    if (OpenPort* port = findPort(handle)) port->transport->describeJob(job);
}

void SerialDriver::endJob(int handle) {
    if (OpenPort* port = findPort(handle)) port->transport->endJob();
}

bool SerialDriver::lineLost(int handle) const {
    const SerialTransport* transport = transportOf(handle);
    return transport && transport->lineLost();
}

bool SerialDriver::watchesLink(int handle) const {
    const SerialTransport* transport = transportOf(handle);
    return transport && transport->watchesLink();
}

std::optional<SerialTransport::Position> SerialDriver::reportedPosition(int handle) const {
    const SerialTransport* transport = transportOf(handle);
    return transport ? transport->reportedPosition() : std::nullopt;
}

bool SerialDriver::finishJob(int handle) {
    SerialTransport* transport = transportOf(handle);
    return !transport || transport->finishJob();
}

std::optional<QString> SerialDriver::describeFarEnd(int handle) {
    SerialTransport* transport = transportOf(handle);
    return transport ? transport->describeFarEnd() : std::nullopt;
}

void SerialDriver::SerialClose(int handle) {
    m_ports.erase(handle);
}

void SerialDriver::setTap(int handle, SerialTap* tap) {
    OpenPort* port = findPort(handle);
    if (!port) return;
    port->tap = port->transport->setWireTap(tap) ? nullptr : tap;
}

SerialTransport* SerialDriver::transportOf(int handle) const {
    const auto found = m_ports.find(handle);
    return found == m_ports.end() ? nullptr : found->second.transport.get();
}
