#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "link/serial/LineMeaning.h"

class SerialTap;

// One open serial line as the driver sees it: a real port, the virtual controller, or a test's
// scripted fake. Reads never block.
class SerialTransport {
public:
    virtual ~SerialTransport() = default;
    // Sends the bytes and returns when they have left (or the write timed out). Returns the
    // number of bytes written.
    virtual qint64 write(const QByteArray& bytes) = 0;
    // Appends every byte that has arrived and not been read yet to `into`; never waits.
    virtual void readAvailable(QByteArray& into) = 0;
    // Clears the line's error state after a failed or short write.
    virtual void clearError() {}

    // Ports that translate the move lines (G-code) are told what the next line means, how far
    // the user's stop request has gone (before every line and every poll of a wait), and which
    // job and picture the lines come from. Our own controller needs none of it.
    virtual void describeLine(const LineMeaning&) {}
    virtual void noteStop(StopLevel) {}
    virtual void describeJob(const QString&) {}
    // The job (or manual move) whose lines came since describeJob has ended, however it ended:
    // a translating port writes what it still holds back, a G-code file is written. Throws
    // JobEnded when that fails.
    virtual void endJob() {}
    // Whether the driver pauses after every write to space the lines for our controller.
    virtual bool pausesAfterWrite() const { return true; }

    // True once the line is gone: the device was removed or hung up, or a read or write
    // failed. Nothing more can pass then.
    virtual bool lineLost() const { return false; }
    // Whether the port watches the controller itself (by its status replies) and throws
    // JobEnded(LinkLost) when it falls silent, so that the wait for an answer needs no limit of
    // its own.
    virtual bool watchesLink() const { return false; }
    // Where the machine stands, in millimetres from where the port was opened, as the controller
    // itself last reported it; nothing for ports that only count answered lines.
    struct Position {
        double x = 0;
        double y = 0;
        double z = 0;
    };
    virtual std::optional<Position> reportedPosition() const { return std::nullopt; }
    // Whether the last stop left the controller not knowing where it stands (GRBL reset during
    // a motion: steps may be lost), until the next job; its reported position is then no
    // place to resume from.
    virtual bool positionLost() const { return false; }
    // Whether the port writes G-code: it takes a line's surface change in millimetres from
    // LineMeaning::surfaceMm instead of in the line's Z steps.
    virtual bool speaksGcode() const { return false; }
    // How far below its start the probe touched in the last sample request, mm, for ports
    // whose controller reports the contact (GRBL); nothing otherwise.
    virtual std::optional<double> probeContactDepth() const { return std::nullopt; }
    // The job's lines have all been answered: sends what closes the job on the machine and
    // returns true once the machine has carried everything out and stands still (called again
    // and again until then; may throw JobEnded like readAvailable). True at once by default.
    virtual bool finishJob() { return true; }
    // Ports that speak another language on the wire (G-code) show the log that language: the
    // tap (nullptr removes it) then sees the wire's lines, not the move lines, and true is
    // returned.
    virtual bool setWireTap(SerialTap*) { return false; }
    // For the connection test: what the port can tell of the far end without a test move (a
    // G-code file names the file it writes, GRBL its version, asked when needed), as a sentence
    // for the user. Nothing for our own controller, which the test asks with a zero move.
    virtual std::optional<QString> describeFarEnd() { return std::nullopt; }
};
