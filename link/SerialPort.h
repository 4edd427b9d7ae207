#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

#include "link/SerialTransport.h"

// The program's only access to the serial line. Each open port is known by a positive handle.

inline constexpr int kPortCannotOpen = -1;
inline constexpr int kPortSettingsRefused = -2;

// Opens the serial device called `name` as typed ("ttyUSB0", "/dev/ttyACM0", any device path;
// the other kinds of port open through openPortNamed, MachineLink.h) at `baud`, 8 data bits, no
// parity, one stop bit. Returns a positive handle, kPortCannotOpen, or kPortSettingsRefused (the
// port is closed again).
int SerialOpen(const QString& name, int baud);

// Sends the text's bytes and returns when they have left, then pauses 2 ms (not on the G-code
// ports). A short write
// clears the port's error state; nothing is reported. Unknown handles are ignored.
void SerialWrite(int handle, const QByteArray& text);

// The next received byte (0..255), or -1 when none is waiting. Never waits.
int SerialReadByte(int handle);

// Tell the port `handle` what the next line means, how far a stop request has gone, and which
// job runs (see SerialTransport). Unknown handles are ignored.
void SerialDescribeLine(int handle, const LineMeaning& meaning);
void SerialNoteStop(int handle, StopLevel level);
void SerialDescribeJob(int handle, const QString& job);

// What the port `handle` knows beyond bytes (see SerialTransport): whether its line is lost,
// whether it watches the controller itself, where the controller reports the machine, and the
// step that finishes a job on the machine. Unknown handles: not lost, not watched, nothing,
// done.
bool SerialLineLost(int handle);
bool SerialWatchesLink(int handle);
std::optional<SerialTransport::Position> SerialReportedPosition(int handle);
bool SerialFinishJob(int handle);

// Closes the port; handles of 0 or less and unknown handles are ignored.
void SerialClose(int handle);

// Makes an already open transport known to the driver and returns its handle; used by the
// virtual controller and by tests.
int SerialAttach(std::unique_ptr<SerialTransport> transport);
