#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "link/gcode/GcodeStream.h"
#include "link/serial/SerialTransport.h"

// GRBL's serial receive buffer: the bytes of lines sent and not yet answered never exceed it.
inline constexpr int kGrblReceiveBuffer = 128;
inline constexpr int kGrblBaud = 115200;

// The port "grbl:DEVICE": the move lines are translated to G-code and streamed to a GRBL 1.1
// controller by character counting (as many lines in flight as its receive buffer holds), so
// that the machine never starves. A move line is answered "OK" as soon as its G-code is in the
// controller's buffer; a sample request after the probe's report ("<sample>" CR LF "OK").
//
// The machine's position is GRBL's own: "?" is asked a few times a second, and every report
// (MPos, or WPos with the last WCO) is where the machine stands. A controller that stops
// answering "?" is a lost link (JobEnded LinkLost), as is a line that hangs up.
//
// "Стоп" holds the feed ("!"), waits for GRBL to report the hold complete, reads the position,
// and only then resets (the position is kept when nothing moves); then laser off and, when the
// real Z is below the milling surface, the cutter raised to it; the job ends with JobEnded
// (Stopped) naming the point GRBL reports at the end. A second "Стоп" resets at once.
// "error:N" ends the job the same safe way; "ALARM:N" at once, saying that GRBL is locked.
class GrblTransport final : public SerialTransport {
public:
    enum class Flow {
        CharacterCounting,  // fill the receive buffer
        StopAndWait,        // one line at a time, each awaiting its "ok" (for comparison)
    };

    // `line` is the serial line to the controller (a real port in the program; tests give
    // their own); nullptr opens the device in open().
    // `settings` outlive the transport.
    explicit GrblTransport(const ProgramSettings& settings, Flow flow = Flow::CharacterCounting,
                           std::unique_ptr<SerialTransport> line = nullptr);
    // Sends what is still queued and waits for the controller's answers (at most a few seconds
    // without progress); nothing when the line is lost or the job failed.
    ~GrblTransport() override;

    // Opens `device` at 115200 baud (unless a line was given) and asks "?" at once: a board
    // that does not restart answers straight away, one that restarts after its banner. Then
    // reads the settings ("$$", for $32) and the machine position. Returns 0, kPortCannotOpen
    // (also when no GRBL answers) or kPortSettingsRefused; openError() then says why.
    int open(const QString& device);
    const QString& openError() const { return m_openError; }

    // Throws JobEnded(Refused) for a laser job's line while GRBL is not in laser mode ($32=0).
    qint64 write(const QByteArray& bytes) override;
    // Throws JobEnded: ControllerFailed when the controller answered "error:N" or "ALARM:N",
    // LinkLost when the line hung up or GRBL stopped answering.
    void readAvailable(QByteArray& into) override;
    void describeLine(const LineMeaning& meaning) override { m_stream.setMeaning(meaning); }
    // Stop: carries out the hold and the safe ending, then throws JobEnded(Stopped).
    void noteStop(StopLevel level) override;
    // Sends the lines the translation still holds (unless the job was stopped) and waits until
    // the controller has taken them; throws JobEnded as readAvailable does.
    void endJob() override;
    bool pausesAfterWrite() const override { return false; }
    bool lineLost() const override;
    bool watchesLink() const override { return true; }
    std::optional<Position> reportedPosition() const override;
    bool positionLost() const override { return m_positionLost; }
    bool speaksGcode() const override { return true; }
    std::optional<double> probeContactDepth() const override { return m_probeDepth; }
    // Sends the closing lines (laser and spindle off, the cutter up to the surface) once, then
    // true when all is answered and GRBL reports Idle after the last "ok".
    bool finishJob() override;
    // The log sees the G-code lines and real-time characters sent and every line GRBL answers.
    bool setWireTap(SerialTap* tap) override;
    // Names GRBL's version: from its banner, or asked with "$I" when the board sent none.
    std::optional<QString> describeFarEnd() override;

    // The most bytes that were ever sent and not yet answered.
    int mostBytesInFlight() const { return m_mostInFlight; }
    // $32 as GRBL listed it at connect; nothing when it did not.
    std::optional<bool> laserMode() const { return m_laserMode; }

private:
    struct Item {
        enum Kind { Line, Answer, Probe } kind;
        QByteArray text;  // the G-code line with "\n", or the answer to hand out
    };
    struct Failure {
        QString message;
        int alarm = 0;  // the ALARM number; 0 for an "error:N"
    };

    void pump();
    void readLine();
    void handleLine(const QByteArray& line);
    void sendRaw(const QByteArray& bytes);
    void logWire(bool sent, const QByteArray& text);
    void sendLine(const QByteArray& line);
    void pollStatus();
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    bool waitForReport(const std::function<bool()>& done, int timeoutMs);
    bool idleAfterLastOk() const;
    bool lost() const;
    [[noreturn]] void throwLost() const;
    void probe();
    QString holdAndMakeSafe();
    // After a hold and a reset that kept the position: the opening lines, M5 and the rise to the
    // surface when the real Z is below it, carried out; says what was done and where the machine
    // stands. `before` is the failure that ended the job, if any, kept for its caller.
    QString sendSafeEnding(const std::optional<Failure>& before);
    QString pointText() const;
    [[noreturn]] void endWithFailure();

    Flow m_flow;
    std::unique_ptr<SerialTransport> m_line;
    QString m_device;
    GcodeStream m_stream;
    SerialTap* m_tap = nullptr;
    // The wire's lines while the port opened, for the log that is put on afterwards.
    std::vector<std::pair<bool, QByteArray>> m_beforeTap;
    bool m_opened = false;
    QByteArray m_received;
    std::deque<Item> m_queue;
    std::deque<int> m_inFlight;
    int m_inFlightBytes = 0;
    int m_mostInFlight = 0;
    QByteArray m_answers;
    int m_jobLines = 0;  // move lines taken since the last job finished
    bool m_closingSent = false;

    // From the controller's reports.
    QByteArray m_state;
    std::optional<Millimetres> m_machine;  // machine position of the last status report
    Millimetres m_workOffset;
    std::optional<Millimetres> m_probeContact;
    bool m_probeTouched = false;
    std::optional<double> m_probeDepth;  // of the last sample request, mm below its start
    bool m_banner = false;
    QString m_version;  // "1.1h", from the banner or the "[VER:" report
    QString m_openError;
    std::optional<bool> m_laserMode;
    int m_asked = 0;       // "?" sent
    int m_statusSeen = 0;  // status reports received
    int m_askedAtLastOk = 0;
    QElapsedTimer m_sinceAsked;
    QElapsedTimer m_sinceHeard;
    bool m_silent = false;
    std::optional<Millimetres> m_origin;  // machine position when the port opened
    // Milling: the surface the cutter last went down from, mm from the opening.
    std::optional<double> m_surface;

    StopLevel m_stop = StopLevel::None;
    bool m_stopped = false;       // after a stop: lines are answered, not sent, until the next job
    bool m_positionLost = false;  // the stop's reset came during a motion, until the next job
    std::optional<Failure> m_failure;
};
