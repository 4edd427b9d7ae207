#pragma once

#include <QByteArray>
#include <QString>

#include "link/serial/LineMeaning.h"

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
};
