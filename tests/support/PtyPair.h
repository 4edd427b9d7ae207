#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal opened by a test: the test plays the machine controller on the master side,
// and the program opens the device path like a serial port.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isOpen() const { return m_master >= 0; }
    const QString& devicePath() const { return m_devicePath; }
    // Sends bytes to the program.
    void send(const QByteArray& bytes);
    // What the program wrote, waiting until `count` bytes are there or `timeoutMs` passed.
    QByteArray receive(qsizetype count, int timeoutMs = 2000);
    // Closes the controller's side, as a pulled cable does: the program's side hangs up.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_devicePath;
};
