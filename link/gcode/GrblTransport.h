#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

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
// The first "Стоп" holds the feed ("!"), waits for the motion to stop, flushes what the
// controller still holds with a soft reset (the position is kept when nothing moves), then
// leaves the machine safe (laser off, cutter raised to the surface it plunged from); the job's
// own remaining lines are then answered without being sent. A second "Стоп" resets at once.
// "error:N" ends the job the same safe way, "ALARM:N" at once; both with the code's meaning.
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
    // without progress).
    ~GrblTransport() override;

    // Opens `device` at 115200 baud (unless a line was given) and waits for GRBL's banner or a
    // status report, then reads the machine position. Returns 0, kPortCannotOpen (also when no
    // GRBL answers) or kPortSettingsRefused.
    int open(const QString& device);

    qint64 write(const QByteArray& bytes) override;
    // Throws JobEnded when the controller answered "error:N" or "ALARM:N".
    void readAvailable(QByteArray& into) override;
    void describeLine(const LineMeaning& meaning) override { m_stream.setMeaning(meaning); }
    void noteStop(StopLevel level) override;
    // Sends the lines the translation still holds (unless the job was stopped) and waits until
    // the controller has taken them; throws JobEnded as readAvailable does.
    void endJob() override;
    bool pausesAfterWrite() const override { return false; }

    // The most bytes that were ever sent and not yet answered.
    int mostBytesInFlight() const { return m_mostInFlight; }

private:
    struct Item {
        enum Kind { Line, Answer, Probe } kind;
        QByteArray text;  // the G-code line with "\n", or the answer to hand out
    };
    struct Failure {
        QString message;
        bool alarm = false;
    };

    void pump();
    void readLine();
    void handleLine(const QByteArray& line);
    void sendRaw(const QByteArray& bytes);
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    bool askStatus(int timeoutMs);
    void probe();
    void holdResetAndEnd();

    Flow m_flow;
    std::unique_ptr<SerialTransport> m_line;
    GcodeStream m_stream;
    QByteArray m_received;
    std::deque<Item> m_queue;
    std::deque<int> m_inFlight;
    int m_inFlightBytes = 0;
    int m_mostInFlight = 0;
    QByteArray m_answers;

    // From the controller's reports.
    QByteArray m_state;
    std::optional<Millimetres> m_machine;  // machine position of the last status report
    Millimetres m_workOffset;
    std::optional<Millimetres> m_probeContact;
    bool m_probeTouched = false;
    bool m_banner = false;
    int m_statusSeen = 0;
    Millimetres m_origin;  // machine position when the port opened

    StopLevel m_stop = StopLevel::None;
    bool m_stopped = false;  // after a stop: lines are answered, not sent, until the next job
    std::optional<Failure> m_failure;
    bool m_errorPending = false;
    QByteArray m_lastRefused;
};
