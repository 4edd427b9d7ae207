#pragma once

#include <QSerialPort>
#include <QString>

#include "link/serial/SerialTransport.h"

// A real serial line on QSerialPort. Works without a running event loop: reads poll the device
// with a zero wait and writes wait for the bytes themselves.
class QtSerialTransport final : public SerialTransport {
public:
    // Opens the port `name` as typed ("ttyUSB0" is looked up under /dev, a path is used as it
    // is) at `baud`, 8N1, no flow control, DTR on where the device has it. Returns 0 when open,
    // kPortCannotOpen, or kPortSettingsRefused (the port is then closed again; openError() says
    // why in the system's words).
    int open(const QString& name, int baud);
    const QString& openError() const { return m_openError; }

    qint64 write(const QByteArray& bytes) override;
    void readAvailable(QByteArray& into) override;
    // Drops what a timed-out write left unsent, so that it is never glued to the next line.
    void clearError() override;
    // The device hung up, went away or failed a read or write.
    bool lineLost() const override { return m_lost; }

private:
    void noteError();

    QSerialPort m_port;
    QString m_openError;
    bool m_lost = false;
};
