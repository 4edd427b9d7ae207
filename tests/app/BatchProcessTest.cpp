#include <gtest/gtest.h>

#include <QProcess>

#include "tests/support/ConfigTestSupport.h"

namespace {

struct ProcessRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the program with `arguments` where no display exists: a batch run must not need one.
ProcessRun runCnc(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CNC_EXECUTABLE), arguments);
    ProcessRun run;
    if (!process.waitForFinished(30000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

}  // namespace

TEST(BatchProcess, VersionAndHelpGoToStandardOutputWithoutADisplay) {
    const ProcessRun version = runCnc({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "cnc 1.0.7\n");
    EXPECT_EQ(version.err, QString());

    const ProcessRun help = runCnc({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("cnc [ПАРАМЕТРЫ] ports")) << help.out.toStdString();
    EXPECT_EQ(help.err, QString());
}

TEST(BatchProcess, BadCommandLineGivesStatus2AndTheUsageOnStandardError) {
    for (const QStringList& words : {QStringList{"bogus"}, QStringList{"ports", "--bogus"},
                                     QStringList{"--port"}, QStringList{"ports", "x"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        const ProcessRun run = runCnc(words);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains("Использование")) << run.err.toStdString();
        EXPECT_EQ(run.out, QString());
    }
}

TEST(BatchProcess, BadStoredRatioIsReportedOnStandardErrorAndTheCommandRuns) {
    ScopedConfig config;
    config.write("[CNC]\nSM_X_ratio=abc\n");
    const ProcessRun run = runCnc({"ports", "--config", config.path()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("SM_X_ratio = \"abc\"")) << run.err.toStdString();
    EXPECT_EQ(config.bytes(), "[CNC]\nSM_X_ratio=abc\n");
}
