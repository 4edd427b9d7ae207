#pragma once

#include <QByteArray>
#include <QList>
#include <deque>
#include <functional>
#include <map>
#include <optional>

#include "link/gcode/GcodeTranslator.h"

// A GRBL 1.1 controller as its public interface documentation describes it and as the real
// firmware behaves, for tests and for trying the G-code ports without a machine:
// - a 128-byte receive buffer and a planner of 15 usable blocks; "ok" when a line has been taken
//   into the planner, so the last "ok" of a job comes while up to 15 blocks still have to run;
// - motion in time: each block runs at its feed (G0 at the rapid rate), taking at least the
//   shortest block time; status reports ("?") give the position reached at that instant, "Run"
//   while blocks remain, "Idle" after;
// - feed hold "!": decelerates along the path ("Hold:1") and stops part-way ("Hold:0"); "~"
//   resumes; Ctrl-X resets: while moving that raises ALARM:3 and every G-code line is refused
//   with "error:9" until "$X" (after "Hold:0" the position is kept and nothing is locked);
// - G38.2: waits for a standing machine, ends in ALARM:4 when the probe is already in contact
//   and ALARM:5 when it meets nothing; on contact it reports "[PRB:x,y,z:1]" with the contact
//   point and coasts on to a stop before its "ok";
// - "$$" lists the settings ($32 laser mode among them), "$32=1" changes it, "$G" the modal
//   state, "$I" the version, "$X" unlocks.
//
// It understands G0, G1, G21, G90, G91, G53, G92, G92.1, G38.2, M2, M3, M4, M5, M30, F, S and
// X, Y, Z words, and comments. Positions are machine millimetres.
class VirtualGrbl {
public:
    // The machine's speeds: G0 travels and how hard it brakes (a feed hold, a probe contact).
    static constexpr double kRapidMmPerMin = 3000;
    static constexpr double kAccelerationMmPerS2 = 50;

    // `ratios` map millimetres back to the motor steps at which the default probe surface (the
    // virtual controller's test surface) is sampled; `heightRange` is the depth below machine
    // Z 0 of a sample 0 (a sample 255 lies at Z 0).
    VirtualGrbl(const StepRatios& ratios, double heightRange);

    // The start-up banner, as sent after power-on or a reset.
    static QByteArray banner();

    // The probe surface's machine Z at machine X, Y; replaces the test surface.
    using Surface = std::function<double(double x, double y)>;
    void setSurface(Surface surface) { m_surface = std::move(surface); }
    // Each planner block takes at least this long, however short it is (0: only its feed).
    void setShortestBlockMs(double ms) { m_shortestBlockMs = ms; }
    // $32: laser mode (0 at power-on, as GRBL's default).
    void setLaserMode(bool on) { m_settings[32] = on ? 1 : 0; }

    // Takes bytes from the line; returns what the controller answers at once (status reports,
    // "ok"/"error:N" of lines taken into the planner, settings).
    QByteArray receive(const QByteArray& bytes);
    // Lets `ms` milliseconds of machine time pass: the motion runs, and the answers that follow
    // are returned (lines the freed planner room lets in, probe reports, alarms).
    QByteArray advance(double ms);
    // Whether anything moves or is about to (blocks planned, a probe running, a hold braking).
    bool busy() const;

    // Makes the `number`-th G-code line received (1-based) answered "error:20" as a line the
    // controller does not support: the way tests and users try how a refusal ends a job.
    void refuseLine(int number) { m_refuseLine = number; }

    Millimetres position() const { return m_machine; }
    // The lowest machine Z the tool has been at, probing included (0 at power-on).
    double lowestZ() const { return m_lowestZ; }
    // The origin, then the machine position after every block carried out and every probe.
    const QList<Millimetres>& path() const { return m_path; }
    // Every G-code line received, without its line end.
    const QList<QByteArray>& lines() const { return m_lines; }
    // The most bytes the receive buffer ever held, and whether more than 128 arrived.
    int mostBuffered() const { return m_mostBuffered; }
    bool overflowed() const { return m_overflowed; }
    // "Idle", "Run", "Hold:0", "Hold:1" or "Alarm", as a status report gives it.
    QByteArray state() const;
    bool holding() const { return m_hold; }
    bool idle() const { return m_planner.empty() && m_received.isEmpty() && !m_probe; }
    // The spindle or laser as the modal state holds it: "M3", "M4" or "M5", with its S.
    QByteArray spindle() const;

private:
    struct Block {
        Millimetres target;
        double speed = 0;  // mm/s
    };
    struct Probe {
        double targetZ = 0;
        double speed = 0;
        std::optional<Millimetres> contact;
    };

    // What one G-code line asks for, its words read.
    struct Command {
        std::optional<int> motion;  // 0, 1 or 382 (G38.2)
        bool machineCoordinates = false;
        bool setOffset = false;
        bool clearOffset = false;
        std::optional<double> axis[3];
        std::optional<double> feed;
        std::optional<int> spindle;
        std::optional<double> power;
    };

    QByteArray takeLines();
    QByteArray execute(const QByteArray& line);
    // The words of `text` into `command` (G90/G91 take effect at once); 0, or GRBL's error code.
    int readCommand(const QByteArray& text, Command& command);
    // Carries out a command read whole: modal values, G92, then the motion.
    QByteArray carryOut(Command command);
    QByteArray system(const QByteArray& text);
    QByteArray startProbe(double targetZ);
    QByteArray runProbe(double seconds);
    QByteArray runPlanner(double seconds);
    void moveAlong(double distance);
    QByteArray status() const;
    QByteArray reset();
    double surfaceAt(double x, double y) const;
    void plan(const Millimetres& target, double feedMmPerMin);

    StepRatios m_ratios;
    double m_heightRange;
    Surface m_surface;
    double m_shortestBlockMs = 0;
    std::map<int, double> m_settings;
    QByteArray m_received;
    std::deque<Block> m_planner;
    std::optional<Probe> m_probe;
    Millimetres m_machine;  // where the tool is now
    Millimetres m_planned;  // where the last planned block ends
    Millimetres m_offset;   // G92
    double m_speed = 0;     // mm/s at this instant
    double m_lowestZ = 0;
    QList<Millimetres> m_path{Millimetres{}};
    QList<QByteArray> m_lines;
    bool m_relative = false;
    bool m_hold = false;
    bool m_holdDone = false;
    bool m_alarm = false;
    double m_feed = 0;
    int m_spindle = 5;
    double m_power = 0;
    int m_mostBuffered = 0;
    int m_refuseLine = 0;
    bool m_overflowed = false;
};
