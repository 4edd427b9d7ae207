#pragma once

#include <QByteArray>

#include "link/SerialTransport.h"

// Access to the open ports behind the handles of SerialPort.h, for the parts of the program
// that need more than the four routines: the exchange log and the virtual controller's lookup.

// Watches the bytes of one open port: what was sent, and what was taken from the line, in the
// order they passed.
class SerialTap {
public:
    virtual ~SerialTap() = default;
    virtual void sent(const QByteArray& bytes) = 0;
    virtual void received(const QByteArray& bytes) = 0;
};

// Puts `tap` (not owned; nullptr removes it) on the open port `handle`; unknown handles are
// ignored. The tap must outlive the port or be removed first.
void SerialSetTap(int handle, SerialTap* tap);

// The transport of the open port `handle`, or nullptr for an unknown handle. Owned by the driver
// until SerialClose.
SerialTransport* SerialTransportOf(int handle);
