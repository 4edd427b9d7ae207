#pragma once

#include <QByteArray>

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
};
