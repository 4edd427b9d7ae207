#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs a cnc executable as a user runs it from a shell, where no display exists: a batch run
// must not need one.

struct ProcessRun {
    int exitCode = -1;  // -1 when the program crashed or did not end
    QString out;
    QString err;
};

// The test's environment without a display.
inline QProcessEnvironment environmentWithoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    return environment;
}

inline ProcessRun runProgram(const QString& program, const QStringList& arguments,
                             const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProcessRun run;
    if (!process.waitForFinished(30000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The program of this build.
inline ProcessRun runCnc(const QStringList& arguments) {
    return runProgram(QStringLiteral(CNC_EXECUTABLE), arguments, environmentWithoutDisplay());
}
