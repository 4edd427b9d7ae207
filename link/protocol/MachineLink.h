#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

#include "link/protocol/MachinePosition.h"

class PortKinds;
class SerialDriver;
struct ProgramSettings;

// The program's connection to the machine controller: it opens, closes and reopens the port,
// holds PortHandle, and counts where the machine stands from the move lines it has answered.
// Windows observe it (portChanged, positionChanged) instead of reading the handle once; the
// move protocol is handed it and sends every line through it.

// The baud rate of the machine controller's serial line.
inline constexpr int kPortBaud = 9600;

// How the link reaches the driver: the port kinds' open and the driver's SerialClose in the
// program, fakes in tests.
struct PortFunctions {
    std::function<int(const QString& name, int baud)> open;
    std::function<void(int handle)> close;
};

class MachineLink : public QObject {
    Q_OBJECT
public:
    // Opens ports through `kinds` and its driver; both outlive the link, as do `settings`,
    // whose step ratios turn a controller's reported position into steps.
    MachineLink(const PortKinds& kinds, const ProgramSettings& settings, QObject* parent = nullptr);
    // Opens and closes ports with `port` and writes through `driver` (tests).
    MachineLink(SerialDriver& driver, PortFunctions port, const ProgramSettings& settings,
                QObject* parent = nullptr);
    // Closes the port it holds.
    ~MachineLink() override;

    // The open port; 0 or less means none (0 never opened or closed, kPortCannotOpen,
    // kPortSettingsRefused after a failed open).
    int PortHandle() const { return m_handle; }
    bool isOpen() const { return m_handle > 0; }
    // The driver that holds the open port; every read and note to the port goes through it.
    SerialDriver& driver() const { return m_driver; }

    // Closes the open port, then opens `name` at kPortBaud as the program's port. Returns the new
    // PortHandle. The position starts again at 0; portChanged is announced either way.
    int open(const QString& name);
    // Closes the open port; PortHandle becomes 0. Announces portChanged when a port was open.
    void close();
    // Takes `handle` as the program's port as if open() had returned it (an attached transport in
    // tests, or a failure code), closing the open port first. Announces portChanged.
    void adopt(int handle);

    // Writes `line` to the port and notes it as waiting for its answer; when answered, the
    // machine has moved by `move` motor steps (zero for a line that moves nothing, such as a
    // probe request). Nothing happens without an open port.
    void sendLine(const QByteArray& line, const MachinePosition& move);
    // One answer "OK" has been read: the oldest line still waiting counts as done, the position
    // moves by it and positionChanged is announced. Without a line waiting nothing changes.
    void lineAnswered();
    // The lines still waiting will not be answered (a connection test gave up on its zero
    // move): forgets them; the position stays as counted.
    void forgetWaitingLines() { m_waiting.clear(); }
    // Lines written and not answered yet.
    int linesWaiting() const { return int(m_waiting.size()); }
    // Where the machine stands in motor steps, from the origin where the port was opened: the
    // controller's own report where the port has one (GRBL's status reports), otherwise counted
    // from the lines answered.
    const MachinePosition& position() const { return m_position; }
    // Takes the controller's latest report of the position, if the port has one, and announces
    // positionChanged when it moved.
    void refreshPosition();

    // The name the open port was opened under ("grbl:/dev/ttyUSB0", "sim"); empty when none.
    const QString& portName() const { return m_portName; }
    // The line to the controller broke under a job: closes the port (announcing portChanged) and
    // remembers it until the next open, so that the windows can say the port was closed.
    void loseLink();
    // Whether the last port was closed by loseLink.
    bool linkLost() const { return m_lost; }

signals:
    // PortHandle changed (opened, closed, reopened, failed).
    void portChanged(int handle);
    void positionChanged(const MachinePosition& position);

private:
    void setHandle(int handle);
    // Puts the controller's latest reported position, if the port has one, in place of the
    // position counted from answered lines.
    void takeReportedPosition();

    SerialDriver& m_driver;
    PortFunctions m_port;
    const ProgramSettings& m_settings;
    int m_handle = 0;
    QString m_portName;
    bool m_lost = false;
    MachinePosition m_position;
    std::deque<MachinePosition> m_waiting;
};
