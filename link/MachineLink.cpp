#include "link/MachineLink.h"

#include <cmath>
#include <map>

#include "app/ProgramSettings.h"
#include "link/GcodeFileTransport.h"
#include "link/GrblTransport.h"
#include "link/SerialPort.h"
#include "link/SerialRegistry.h"

namespace {

std::map<QString, PortOpener>& portKinds() {
    static std::map<QString, PortOpener> kinds = {
        {QStringLiteral("sim"),
         [](const QString& address, int) {
             if (address.isEmpty()) return SerialAttach(makeVirtualControllerTransport(false));
             if (address == QLatin1String("probe"))
                 return SerialAttach(makeVirtualControllerTransport(true));
             return kPortCannotOpen;
         }},
        // The jobs written as G-code to the file ADDRESS.
        {QStringLiteral("gcode"),
         [](const QString& address, int) {
             auto file = std::make_unique<GcodeFileTransport>();
             if (!file->open(address)) return kPortCannotOpen;
             return SerialAttach(std::move(file));
         }},
        // The jobs streamed as G-code to a GRBL controller on the device ADDRESS.
        {QStringLiteral("grbl"),
         [](const QString& address, int) {
             auto grbl = std::make_unique<GrblTransport>();
             const int result = grbl->open(address);
             if (result != 0) return result;
             return SerialAttach(std::move(grbl));
         }},
    };
    return kinds;
}

}  // namespace

void addPortKind(const QString& kind, PortOpener open) {
    portKinds()[kind.toLower()] = std::move(open);
}

int openPortNamed(const QString& name, int baud) {
    const qsizetype colon = name.indexOf(u':');
    const QString kind = (colon < 0 ? name : name.left(colon)).toLower();
    const auto found = portKinds().find(kind);
    if (found != portKinds().end())
        return found->second(colon < 0 ? QString() : name.mid(colon + 1), baud);
    return SerialOpen(name, baud);
}

MachineLink::MachineLink(QObject* parent)
    : MachineLink(PortFunctions{&openPortNamed, &SerialClose}, parent) {}

MachineLink::MachineLink(PortFunctions port, QObject* parent)
    : QObject(parent), m_port(std::move(port)) {}

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
    SerialWrite(m_handle, line);
    m_waiting.push_back(move);
}

void MachineLink::lineAnswered() {
    if (m_waiting.empty()) return;
    const MachinePosition move = m_waiting.front();
    m_waiting.pop_front();
    m_position.x += move.x;
    m_position.y += move.y;
    m_position.z += move.z;
    if (!SerialReportedPosition(m_handle)) {
        emit positionChanged(m_position);
        return;
    }
    refreshPosition();
}

void MachineLink::refreshPosition() {
    const auto reported = SerialReportedPosition(m_handle);
    if (!reported) return;
    const ProgramSettings& settings = Settings();
    const auto steps = [](double millimetres, double ratio) {
        return ratio != 0 ? qint64(std::llround(millimetres / ratio)) : 0;
    };
    const MachinePosition position{steps(reported->x, settings.StepRatioX),
                                   steps(reported->y, settings.StepRatioY),
                                   steps(reported->z, settings.StepRatioZ)};
    if (position == m_position) return;
    m_position = position;
    emit positionChanged(m_position);
}

MachineLink& programMachineLink() {
    // The driver's table of open ports is made first, so that it is still there when the link
    // closes its port at the program's exit.
    SerialTransportOf(0);
    static MachineLink link;
    return link;
}
