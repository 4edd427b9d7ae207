#pragma once

#include <QString>
#include <cstdio>

#include "link/virtual/PtyIo.h"
#include "link/virtual/VirtualGrbl.h"

// The virtual GRBL offered on a pseudo-terminal (`cnc serve-sim --grbl`), so that the grbl:
// port (or any G-code sender) can open its device like a real controller's.
class GrblSimServer {
public:
    // `delayMs`: how long each planner block takes to carry out (0: at once).
    GrblSimServer(const StepRatios& ratios, double heightRange, int delayMs)
        : m_grbl(ratios, heightRange), m_delayMs(delayMs) {}

    // Creates the pseudo-terminal in raw mode; false, with the reason in `error`, when none.
    bool open(QString* error) { return m_pty.open(error); }
    const QString& devicePath() const { return m_pty.devicePath(); }

    // Sends the banner, then serves until `stopFd` becomes readable. Writes "> " + line for each
    // G-code line and real-time command received ("?" left out), "< " + line for each answer
    // line, and at the end "# buffer N" (the most bytes the receive buffer held, with
    // "overflow" when more than 128 arrived) and "# MPos x,y,z", flushing each.
    void serve(int stopFd, std::FILE* out);

    const VirtualGrbl& grbl() const { return m_grbl; }
    // See VirtualGrbl::refuseLine.
    void refuseLine(int number) { m_grbl.refuseLine(number); }

private:
    bool answer(const QByteArray& reply, int stopFd, std::FILE* out) {
        return m_pty.answer(reply, stopFd, out);
    }

    VirtualGrbl m_grbl;
    int m_delayMs;
    PtyEndpoint m_pty;
};
