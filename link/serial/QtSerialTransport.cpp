#include "link/serial/QtSerialTransport.h"

#include <QDeadlineTimer>

#include "link/serial/SerialDriver.h"

namespace {

// A write that cannot complete (a stalled device) gives up after this long.
constexpr int kWriteTimeoutBaseMs = 1000;
constexpr int kWriteTimeoutPerByteMs = 10;

}  // namespace

int QtSerialTransport::open(const QString& name, int baud) {
    m_port.setPortName(name);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_openError = m_port.errorString();
        return kPortCannotOpen;
    }
    // Hardware flow control stays off: a USB-serial board whose CTS line is not wired would
    // stall every write.
    const bool accepted = m_port.setBaudRate(baud) && m_port.setDataBits(QSerialPort::Data8) &&
                          m_port.setParity(QSerialPort::NoParity) &&
                          m_port.setStopBits(QSerialPort::OneStop) &&
                          m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!accepted) {
        m_openError = QStringLiteral("порт не принял настройки %1 бод, 8N1: %2")
                          .arg(baud)
                          .arg(m_port.errorString());
        m_port.close();
        return kPortSettingsRefused;
    }
    // Pseudo-terminals have no DTR line; that is not a refusal of the settings.
    m_port.setDataTerminalReady(true);
    m_port.clearError();
    return 0;
}

void QtSerialTransport::noteError() {
    switch (m_port.error()) {
        case QSerialPort::ResourceError:
        case QSerialPort::DeviceNotFoundError:
        case QSerialPort::PermissionError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            m_lost = true;
            break;
        default:
            break;
    }
    if (!m_port.isOpen()) m_lost = true;
}

qint64 QtSerialTransport::write(const QByteArray& bytes) {
    if (m_lost) return 0;
    const qint64 accepted = m_port.write(bytes);
    if (accepted <= 0) {
        noteError();
        return 0;
    }
    QDeadlineTimer deadline(kWriteTimeoutBaseMs + kWriteTimeoutPerByteMs * bytes.size());
    while (m_port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!m_port.waitForBytesWritten(int(deadline.remainingTime()))) break;
    }
    noteError();
    return accepted - m_port.bytesToWrite();
}

void QtSerialTransport::readAvailable(QByteArray& into) {
    // Without an event loop nothing fills the port's buffer; a zero wait reads what the device
    // holds. Under a running event loop the buffer may already hold bytes.
    if (m_lost) return;
    if (m_port.bytesAvailable() == 0 && !m_port.waitForReadyRead(0)) {
        // An empty poll reports a time-out; it is not an error of the line. A hang-up is.
        noteError();
        m_port.clearError();
    }
    into += m_port.readAll();
    noteError();
}

void QtSerialTransport::clearError() {
    if (!m_port.isOpen()) return;
    m_port.clear(QSerialPort::Output);
    m_port.clearError();
}
