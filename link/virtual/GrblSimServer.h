#pragma once

#include <QString>
#include <cstdio>

#include "link/virtual/PtyIo.h"
#include "link/virtual/VirtualGrbl.h"

// The virtual GRBL offered on a pseudo-terminal (`cnc serve-sim --grbl`), so that the grbl:
// port (or any G-code sender) can open its device like a real controller's.
class GrblSimServer {
public:
    // `delayMs`: the shortest time a planner block takes to carry out; longer blocks run at
    // their feed.
    GrblSimServer(const StepRatios& ratios, double heightRange, int delayMs)
        : m_grbl(ratios, heightRange) {
        m_grbl.setShortestBlockMs(delayMs);
    }

    // Creates the pseudo-terminal in raw mode; false, with the reason in `error`, when none.
    bool open(QString* error) { return m_pty.open(error); }
    const QString& devicePath() const { return m_pty.devicePath(); }

    // Sends the banner, then serves until `stopFd` becomes readable or the other end closes,
    // the machine moving in real time. Writes "> " + line for each G-code line and real-time
    // command received ("?" left out), "< " + line for each answer line (status reports left
    // out), and at the end "# buffer N" (the most bytes the receive buffer held, with "overflow"
    // when more than 128 arrived), "# MPos x,y,z", "# state STATE" and "# spindle M5 S0" (the
    // modal spindle or laser state), flushing each.
    void serve(int stopFd, std::FILE* out);

    const VirtualGrbl& grbl() const { return m_grbl; }
    // See VirtualGrbl::refuseLine, setSurface and setLaserMode.
    void refuseLine(int number) { m_grbl.refuseLine(number); }
    void setSurface(VirtualGrbl::Surface surface) { m_grbl.setSurface(std::move(surface)); }
    void setLaserMode(bool on) { m_grbl.setLaserMode(on); }

private:
    bool answer(const QByteArray& reply, int stopFd, std::FILE* out);

    VirtualGrbl m_grbl;
    PtyEndpoint m_pty;
};
