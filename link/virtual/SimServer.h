#pragma once

#include <QString>
#include <cstdio>

#include "link/virtual/PtyIo.h"
#include "link/virtual/VirtualController.h"

// The virtual controller offered on a pseudo-terminal, so that another program (or another cnc)
// can open its device like a real port.
class SimServer {
public:
    SimServer(bool probe, int delayMs) : m_controller(probe), m_delayMs(delayMs) {}

    // Creates the pseudo-terminal in raw mode. Returns false, with the reason in `error`, when
    // the system gives none.
    bool open(QString* error) { return m_pty.open(error); }

    // The device path that clients open (for example "/dev/pts/3"); empty before open.
    const QString& devicePath() const { return m_pty.devicePath(); }

    // Answers every line received, waiting the delay before each answer, until `stopFd`
    // becomes readable. Writes "> " + line for each line received and "< " + text for each line
    // of an answer to `out`, flushing each.
    void serve(int stopFd, std::FILE* out);

    const VirtualController& controller() const { return m_controller; }

private:
    VirtualController m_controller;
    int m_delayMs;
    PtyEndpoint m_pty;
};
