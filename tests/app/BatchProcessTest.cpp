#include <gtest/gtest.h>

#include "tests/support/CncProcess.h"
#include "tests/support/ConfigTestSupport.h"

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
