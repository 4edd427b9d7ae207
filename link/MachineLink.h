#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

#include "link/VirtualController.h"

// The program's connection to the machine controller: it opens, closes and reopens the port,
// holds PortHandle, and counts where the machine stands from the move lines it has answered.
// Windows observe it (portChanged, positionChanged) instead of reading the handle once; the
// move protocol is handed it and sends every line through it.

// The baud rate of the machine controller's serial line.
inline constexpr int kPortBaud = 9600;

// Opens one kind of port reached by a name "KIND" or "KIND:ADDRESS" ("sim", "sim:probe");
// gets ADDRESS (empty for a bare "KIND") and the baud rate, and returns a handle from
// SerialAttach, or kPortCannotOpen / kPortSettingsRefused.
using PortOpener = std::function<int(const QString& address, int baud)>;

// Makes the kind of port `kind` (letters, digits, "-"; matched without regard to case) known to
// every later open. A kind added twice keeps its last opener. Built in: "sim" is the virtual
// controller, "sim:probe" the same with the probe mounted; "gcode:FILE" writes the jobs as
// G-code to FILE; "grbl:DEVICE" streams them to a GRBL controller at 115200 baud.
void addPortKind(const QString& kind, PortOpener open);

// Opens the port called `name`: a name "KIND" or "KIND:ADDRESS" of a known kind by its opener,
// any other name as a serial device with SerialOpen. Returns a positive handle, kPortCannotOpen
// or kPortSettingsRefused.
int openPortNamed(const QString& name, int baud);

// How the link reaches the driver: openPortNamed and SerialClose in the program, fakes in tests.
struct PortFunctions {
    std::function<int(const QString& name, int baud)> open;
    std::function<void(int handle)> close;
};

class MachineLink : public QObject {
    Q_OBJECT
public:
    explicit MachineLink(QObject* parent = nullptr);
    explicit MachineLink(PortFunctions port, QObject* parent = nullptr);
    // Closes the port it holds.
    ~MachineLink() override;

    // The open port; 0 or less means none (0 never opened or closed, kPortCannotOpen,
    // kPortSettingsRefused after a failed open).
    int PortHandle() const { return m_handle; }
    bool isOpen() const { return m_handle > 0; }

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

    PortFunctions m_port;
    int m_handle = 0;
    QString m_portName;
    bool m_lost = false;
    MachinePosition m_position;
    std::deque<MachinePosition> m_waiting;
};

// The one link that the windows of the program share.
MachineLink& programMachineLink();
