#pragma once

#include <signal.h>

#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>

// `cnc serve-sim` run by an end-to-end test, on a real pseudo-terminal. The test target defines
// CNC_EXECUTABLE, the program's path.
class ServeSimProcess {
public:
    ~ServeSimProcess() {
        if (m_process.state() == QProcess::Running) stop();
    }

    // Starts `cnc ARGUMENTS serve-sim ...` and returns the device path it prints; empty when
    // it did not start.
    QString start(const QStringList& arguments) {
        m_process.start(QStringLiteral(CNC_EXECUTABLE), arguments);
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000)) return {};
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    // Ends the server as Ctrl+C would; true when it ended in time.
    bool stop() {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        return m_process.waitForFinished(3000);
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

// The lines of an exchange log (--log) that start with `prefix` ("> " sent, "< " answered),
// without it; none when the file cannot be read.
inline QList<QByteArray> LoggedLines(const QString& path, const QByteArray& prefix) {
    QFile log(path);
    QList<QByteArray> lines;
    if (!log.open(QIODevice::ReadOnly)) return lines;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (line.startsWith(prefix)) lines << line.mid(prefix.size());
    return lines;
}
