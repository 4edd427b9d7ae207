#pragma once

#include <QRect>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "link/job/MessageTitles.h"
#include "link/serial/LineMeaning.h"

// What a job (or a manual move) may ask of the window that runs it. The windows implement it
// with their widgets, the batch command line with plain values, and tests with fakes that
// record. Jobs never touch a widget directly.

// The size fields a job reads, by their meaning; each window answers for the ones it has.
enum class JobField {
    FinishedWidth,  // Text6: finished width, mm
    Depth,          // Text1 of the milling window: milling depth, mm
    Diameter,       // Text3 of the milling window: cutter diameter, mm
};

struct JobProgress {
    std::int64_t done = 0;
    std::int64_t total = 0;  // 0 when the job does not know it
    QString what;            // for example "фигура 3 из 12, шаг 420"
};

class JobHost {
public:
    virtual ~JobHost() = default;

    // The output check box Check1: ticked, moves are sent and answered; clear, a dry run.
    virtual bool outputEnabled() const = 0;
    // The text of a size field as the user left it (read anew at every call).
    virtual QString fieldText(JobField field) const = 0;
    // The picture layers changed inside `changed` (picture pixels, 1-based); an empty rectangle
    // means everything.
    virtual void redraw(const QRect& changed) = 0;
    // Lets pending window events run once (repaints, the stop button).
    virtual void letEventsRun() = 0;
    // The figure analysis was rebuilt by the job (the nesting tree may have changed).
    virtual void figuresChanged() {}
    virtual void sleepMs(int milliseconds) = 0;
    virtual StopLevel stopLevel() const = 0;
    // How long a wait for the controller's answer may last in milliseconds; 0 waits for ever.
    virtual int replyTimeoutMs() const { return 0; }
    // A monotonic clock in milliseconds that the time limits of waits are measured with; test
    // fakes override it with a clock that their sleepMs advances.
    virtual std::int64_t clockMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    virtual void reportProgress(const JobProgress& progress) = 0;
    // A message to the user, shown as a modal box with an OK button in the windows.
    virtual void showMessage(const MessageTitle& title, const QString& text) = 0;
    // After a job refused one of the size fields: the windows put the keyboard focus there with
    // its text selected, so that the user can correct it at once.
    virtual void focusField(JobField) {}
};

// Thrown from deep inside a job to end it: the move was refused (the message says why), the
// controller did not answer in time, or the user abandoned the job. The job runner catches it,
// shows the message and leaves the windows usable.
class JobEnded : public std::runtime_error {
public:
    // Stopped: the user's "Стоп" was carried out and the machine left safe; the message says
    // where the tool stands. ControllerFailed: the controller refused a line or raised an alarm,
    // and the port has already left the machine as safe as it could (nothing more is sent).
    // LinkLost: the line to the controller broke (a hang-up, a removed device, a controller
    // fallen silent); the port is closed.
    enum class Reason { Refused, TimedOut, Abandoned, Stopped, ControllerFailed, LinkLost };
    // `title`: none for the job runner's choice ("Стоп" after a stop, "Ошибка" otherwise).
    // `field`: the size field at fault, when a field was refused.
    JobEnded(Reason reason, std::optional<MessageTitle> title, QString message,
             std::optional<JobField> field = std::nullopt)
        : std::runtime_error(message.toStdString()),
          m_reason(reason),
          m_title(title),
          m_message(std::move(message)),
          m_field(field) {}
    Reason reason() const { return m_reason; }
    std::optional<MessageTitle> title() const { return m_title; }
    const QString& message() const { return m_message; }
    std::optional<JobField> field() const { return m_field; }

private:
    Reason m_reason;
    std::optional<MessageTitle> m_title;
    QString m_message;
    std::optional<JobField> m_field;
};
