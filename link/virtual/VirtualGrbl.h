#pragma once

#include <QByteArray>
#include <QList>
#include <deque>

#include "link/gcode/GcodeTranslator.h"

// A GRBL 1.1 controller as its public interface documentation describes it, for tests and for
// trying the G-code ports without a machine: a 128-byte receive buffer, a planner of 16 blocks,
// "ok" when a line has been taken into the planner, "error:N" for a line it refuses, the
// real-time commands "?" (status report), "!" (feed hold), "~" (resume) and Ctrl-X (soft reset),
// and G38.2 probing a test surface (the same as the virtual controller's probe).
//
// It understands G0, G1, G21, G90, G91, G53, G92, G92.1, G38.2, M3, M4, M5, M2, M30, F, S and X,
// Y, Z words, "$X" and comments. Positions are machine millimetres.
class VirtualGrbl {
public:
    // `ratios` map millimetres back to the motor steps at which the test surface is sampled;
    // `heightRange` is the depth below machine Z 0 of a sample 0 (a sample 255 lies at Z 0).
    VirtualGrbl(const StepRatios& ratios, double heightRange);

    // The start-up banner, as sent after power-on or a reset.
    static QByteArray banner();

    // Takes bytes from the line; returns what the controller answers at once (status reports,
    // "ok"/"error:N" of lines taken into the planner, probe reports).
    QByteArray receive(const QByteArray& bytes);
    // Carries out the next planner block unless holding; returns the answers that follow (the
    // lines that the freed room lets into the planner). False in `moved` when nothing ran.
    QByteArray runBlock(bool* moved = nullptr);

    // Makes the `number`-th G-code line received (1-based) answered "error:20" as a line the
    // controller does not support: the way tests and users try how a refusal ends a job.
    void refuseLine(int number) { m_refuseLine = number; }

    Millimetres position() const { return m_machine; }
    // The origin, then the machine position after every motion carried out (probing included).
    const QList<Millimetres>& path() const { return m_path; }
    // Every G-code line received, without its line end.
    const QList<QByteArray>& lines() const { return m_lines; }
    // The most bytes the receive buffer ever held, and whether more than 128 arrived.
    int mostBuffered() const { return m_mostBuffered; }
    bool overflowed() const { return m_overflowed; }
    QByteArray state() const;
    bool holding() const { return m_hold; }
    bool idle() const { return m_planner.empty() && m_received.isEmpty(); }

private:
    QByteArray takeLines();
    QByteArray execute(const QByteArray& line);
    QByteArray probe(double targetZ);
    QByteArray status() const;
    QByteArray reset();
    double surfaceAt(double x, double y) const;

    StepRatios m_ratios;
    double m_heightRange;
    QByteArray m_received;
    std::deque<Millimetres> m_planner;
    Millimetres m_machine;  // where the last carried-out block ended
    Millimetres m_planned;  // where the last planned block ends
    Millimetres m_offset;   // G92
    QList<Millimetres> m_path{Millimetres{}};
    QList<QByteArray> m_lines;
    bool m_relative = false;
    bool m_hold = false;
    bool m_alarm = false;
    double m_feed = 0;
    int m_mostBuffered = 0;
    int m_refuseLine = 0;
    bool m_overflowed = false;
};
