#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "link/serial/SerialTransport.h"

// The program's only access to the serial lines: the table of open ports, each known by a
// positive handle. One driver is made with the program and handed to whatever opens or uses a
// port.

inline constexpr int kPortCannotOpen = -1;
inline constexpr int kPortSettingsRefused = -2;

// Watches the bytes of one open port: what was sent, and what was taken from the line, in the
// order they passed (the exchange log).
class SerialTap {
public:
    virtual ~SerialTap() = default;
    virtual void sent(const QByteArray& bytes) = 0;
    virtual void received(const QByteArray& bytes) = 0;
};

class SerialDriver {
public:
    SerialDriver() = default;
    SerialDriver(const SerialDriver&) = delete;
    SerialDriver& operator=(const SerialDriver&) = delete;

    // Opens the serial device called `name` as typed ("ttyUSB0", "/dev/ttyACM0", any device
    // path; the other kinds of port open through PortKinds) at `baud`, 8 data bits, no parity,
    // one stop bit. Returns a positive handle, kPortCannotOpen, or kPortSettingsRefused (the
    // port is closed again).
    int SerialOpen(const QString& name, int baud);

    // Why the last open through the driver (a serial device, or a port kind that said so)
    // failed, in the system's words; empty after an open that worked.
    const QString& openError() const { return m_openError; }
    // Sets what openError() says; port kinds state their own reasons with it.
    void setOpenError(const QString& reason) { m_openError = reason; }

    // Sends the text's bytes and returns when they have left, then pauses 2 ms (not on the
    // G-code ports). A short write clears the port's error state; nothing is reported. Unknown
    // handles are ignored.
    void SerialWrite(int handle, const QByteArray& text);
    // How the pause after a write is waited: by sleeping, unless a test counts the pauses.
    using PauseFunction = std::function<void(std::chrono::milliseconds)>;
    void setPauseFunction(PauseFunction pause) { m_pause = std::move(pause); }
    static void sleepPause(std::chrono::milliseconds pause);

    // The next received byte (0..255), or -1 when none is waiting. Never waits.
    int SerialReadByte(int handle);

    // Tell the port `handle` what the next line means, how far a stop request has gone, and
    // which job runs (see SerialTransport). Unknown handles are ignored.
    void describeLine(int handle, const LineMeaning& meaning);
    void noteStop(int handle, StopLevel level);
    void describeJob(int handle, const QString& job);
    // Tells the port `handle` that the job whose lines it was sent has ended (see
    // SerialTransport::endJob); may throw JobEnded. Unknown handles are ignored.
    void endJob(int handle);

    // What the port `handle` knows beyond bytes (see SerialTransport): whether its line is
    // lost, whether it watches the controller itself, where the controller reports the machine,
    // and the step that finishes a job on the machine. Unknown handles: not lost, not watched,
    // nothing, done.
    bool lineLost(int handle) const;
    bool watchesLink(int handle) const;
    std::optional<SerialTransport::Position> reportedPosition(int handle) const;
    bool finishJob(int handle);
    // What the port `handle` tells of its far end (SerialTransport::describeFarEnd); nothing for
    // unknown handles.
    std::optional<QString> describeFarEnd(int handle);

    // Closes the port; handles of 0 or less and unknown handles are ignored.
    void SerialClose(int handle);

    // Makes an already open transport known to the driver and returns its handle; used by the
    // other kinds of port (virtual controller, G-code) and by tests.
    int attach(std::unique_ptr<SerialTransport> transport);

    // Puts `tap` (not owned; nullptr removes it) on the open port `handle`, or hands it to a
    // transport that taps its own wire (G-code); unknown handles are ignored. The tap must
    // outlive the port or be removed first.
    void setTap(int handle, SerialTap* tap);

    // The transport of the open port `handle`, or nullptr for an unknown handle. Owned by the
    // driver until SerialClose.
    SerialTransport* transportOf(int handle) const;

private:
    struct OpenPort {
        std::unique_ptr<SerialTransport> transport;
        QByteArray received;       // taken from the line, not yet handed out
        qsizetype next = 0;        // the next byte of `received` to hand out
        SerialTap* tap = nullptr;  // not set when the transport taps its own wire
    };
    OpenPort* findPort(int handle);

    std::map<int, OpenPort> m_ports;
    QString m_openError;
    PauseFunction m_pause = &SerialDriver::sleepPause;
    // Handles are never reused, so that a window still holding a closed port's handle cannot
    // reach a port opened later.
    int m_lastHandle = 0;
};
