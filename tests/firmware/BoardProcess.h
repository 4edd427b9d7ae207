#pragma once

#include <signal.h>

#include <QProcess>
#include <QStringList>

// The board simulator run by a test with one of the firmware builds. The test target defines
// CNC_BOARD_SIM (the simulator's path) and CNC_FIRMWARE_DIR (where the .elf files are).
class BoardProcess {
public:
    ~BoardProcess() {
        if (m_process.state() == QProcess::Running) stop();
    }

    // Starts the simulator on cnc-MACHINE.elf, writing its events to `events`; returns the
    // pseudo-terminal's path, empty when it did not start.
    QString start(const char* machine, const QString& events, const QStringList& options = {}) {
        const QString firmware =
            QStringLiteral(CNC_FIRMWARE_DIR "/cnc-%1.elf").arg(QLatin1String(machine));
        m_process.start(QStringLiteral(CNC_BOARD_SIM), QStringList{firmware, events} + options);
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000)) return {};
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    // Ends the simulator (its event file is then complete); true when it ended cleanly.
    bool stop() {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        return m_process.waitForFinished(5000) && m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
};
