#include "link/SerialPort.h"

#include <chrono>
#include <map>
#include <thread>

#include "link/QtSerialTransport.h"
#include "link/SerialRegistry.h"

namespace {

// The pause after every write, which spaces consecutive move lines.
constexpr std::chrono::milliseconds kPauseAfterWrite{2};

struct OpenPort {
    std::unique_ptr<SerialTransport> transport;
    QByteArray received;       // taken from the line, not yet handed out
    qsizetype next = 0;        // the next byte of `received` to hand out
    SerialTap* tap = nullptr;  // not set when the transport taps its own wire
};

std::map<int, OpenPort>& openPorts() {
    static std::map<int, OpenPort> ports;
    return ports;
}

OpenPort* findPort(int handle) {
    const auto found = openPorts().find(handle);
    return found == openPorts().end() ? nullptr : &found->second;
}

}  // namespace

int SerialAttach(std::unique_ptr<SerialTransport> transport) {
    // Handles are never reused, so that a window still holding a closed port's handle cannot
    // reach a port opened later.
    static int lastHandle = 0;
    const int handle = ++lastHandle;
    openPorts()[handle].transport = std::move(transport);
    return handle;
}

int SerialOpen(const QString& name, int baud) {
    auto port = std::make_unique<QtSerialTransport>();
    const int result = port->open(name, baud);
    if (result != 0) return result;
    return SerialAttach(std::move(port));
}

void SerialWrite(int handle, const QByteArray& text) {
    OpenPort* port = findPort(handle);
    if (!port) return;
    const qint64 written = port->transport->write(text);
    if (port->tap) port->tap->sent(text.left(qMax<qint64>(written, 0)));
    if (port->transport->pausesAfterWrite()) std::this_thread::sleep_for(kPauseAfterWrite);
    if (written < text.size()) port->transport->clearError();
}

int SerialReadByte(int handle) {
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

void SerialDescribeLine(int handle, const LineMeaning& meaning) {
    if (OpenPort* port = findPort(handle)) port->transport->describeLine(meaning);
}

void SerialNoteStop(int handle, StopLevel level) {
    if (OpenPort* port = findPort(handle)) port->transport->noteStop(level);
}

void SerialDescribeJob(int handle, const QString& job) {
    if (OpenPort* port = findPort(handle)) port->transport->describeJob(job);
}

bool SerialLineLost(int handle) {
    OpenPort* port = findPort(handle);
    return port && port->transport->lineLost();
}

bool SerialWatchesLink(int handle) {
    OpenPort* port = findPort(handle);
    return port && port->transport->watchesLink();
}

std::optional<SerialTransport::Position> SerialReportedPosition(int handle) {
    OpenPort* port = findPort(handle);
    return port ? port->transport->reportedPosition() : std::nullopt;
}

bool SerialFinishJob(int handle) {
    OpenPort* port = findPort(handle);
    return !port || port->transport->finishJob();
}

void SerialClose(int handle) {
    openPorts().erase(handle);
}

void SerialSetTap(int handle, SerialTap* tap) {
    OpenPort* port = findPort(handle);
    if (!port) return;
    port->tap = port->transport->setWireTap(tap) ? nullptr : tap;
}

SerialTransport* SerialTransportOf(int handle) {
    OpenPort* port = findPort(handle);
    return port ? port->transport.get() : nullptr;
}
