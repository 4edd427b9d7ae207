#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// cnc processes of an end-to-end test that run side by side (a job and the serve-sim it talks
// to), all over one configuration file; each is kept, and ended, with the test. The test target
// defines CNC_EXECUTABLE, the program's path.
class RunningCnc {
public:
    // The configuration file every process reads (--config).
    QString config;

    // Starts `cnc --config CONFIG ARGUMENTS` without waiting for it to end.
    QProcess* run(const QStringList& arguments) {
        m_processes.push_back(std::make_unique<QProcess>());
        QProcess* process = m_processes.back().get();
        process->start(QStringLiteral(CNC_EXECUTABLE), QStringList{"--config", config} + arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }

    // Waits for `process` to end (a failure when it does not within `timeoutMs`); returns its
    // exit status, its standard error in `error`.
    static int finish(QProcess* process, QString* error = nullptr, int timeoutMs = 120000) {
        EXPECT_TRUE(process->waitForFinished(timeoutMs));
        if (error) *error = QString::fromUtf8(process->readAllStandardError());
        return process->exitCode();
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
