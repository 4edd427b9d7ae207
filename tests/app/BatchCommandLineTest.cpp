#include <gtest/gtest.h>

#include "app/Program.h"
#include "app/batch/BatchMain.h"
#include "app/batch/BatchParser.h"
#include "app/config/ProgramSettings.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

TEST(BatchParser, OptionsMayStandBeforeOrAfterTheCommand) {
    for (const QStringList& words :
         {QStringList{"--dry-run", "--port", "sim", "--width", "150", "mill", "all", "p.bmp"},
          QStringList{"mill", "--width", "150", "all", "--dry-run", "p.bmp", "--port", "sim"},
          QStringList{"mill", "all", "p.bmp", "--port=sim", "--width=150", "--dry-run"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        const BatchParseResult result = parseBatchCommandLine(words);
        ASSERT_EQ(result.error, QString());
        EXPECT_EQ(result.request, BatchParseResult::Request::Run);
        EXPECT_EQ(result.commandLine.command, "mill");
        EXPECT_EQ(result.commandLine.arguments, (QStringList{"all", "p.bmp"}));
        EXPECT_TRUE(result.commandLine.options.dryRun);
        EXPECT_EQ(result.commandLine.options.port, "sim");
        EXPECT_EQ(result.commandLine.options.width, "150");
    }
    EXPECT_EQ(parseBatchCommandLine({"move", "--help"}).request, BatchParseResult::Request::Help);
}

// "move -1 0 0" is a move, not an option; an option's value is taken whatever it looks like.
TEST(BatchParser, NumbersAfterTheCommandAreArguments) {
    const BatchParseResult move =
        parseBatchCommandLine({"--dry-run", "move", "-0,5", "-2.5", "-1e-3", "--timeout", "3"});
    ASSERT_EQ(move.error, QString());
    EXPECT_EQ(move.commandLine.command, "move");
    EXPECT_EQ(move.commandLine.arguments, (QStringList{"-0,5", "-2.5", "-1e-3"}));
    EXPECT_DOUBLE_EQ(move.commandLine.options.timeoutSeconds, 3);

    const BatchParseResult value = parseBatchCommandLine({"move", "-1", "0", "0", "--width", "-5"});
    ASSERT_EQ(value.error, QString());
    EXPECT_EQ(value.commandLine.arguments, (QStringList{"-1", "0", "0"}));
    EXPECT_EQ(value.commandLine.options.width, "-5");
}

TEST(BatchParser, DoubleDashEndsTheOptions) {
    const BatchParseResult result =
        parseBatchCommandLine({"--dry-run", "parse", "--", "--labels", "-x.bmp"});
    ASSERT_EQ(result.error, QString());
    EXPECT_EQ(result.commandLine.command, "parse");
    EXPECT_EQ(result.commandLine.arguments, (QStringList{"--labels", "-x.bmp"}));
    EXPECT_TRUE(result.commandLine.options.labels.isEmpty());
    EXPECT_EQ(parseBatchCommandLine({"--", "ports"}).commandLine.command, "ports");
}

TEST(BatchParser, RefusesBadCommandLines) {
    for (const QStringList& words :
         {QStringList{}, QStringList{"--dry-run"}, QStringList{"-x", "ports"},
          QStringList{"-1", "move"}, QStringList{"move", "--width"},
          QStringList{"scan", "--timeout", "abc"}, QStringList{"scan", "--timeout", "-1"},
          QStringList{"mill", "--figure", "1,2,3"}, QStringList{"serve-sim", "--delay", "-5"},
          QStringList{"ports", "--dry-run=yes"}, QStringList{"scan", "--from", "3"},
          QStringList{"engrave", "p.bmp", "--from", "3", "--resume"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        EXPECT_FALSE(parseBatchCommandLine(words).error.isEmpty());
    }
}

class RunBatchTest : public testing::Test {
protected:
    ScopedConfig config;
};

TEST_F(RunBatchTest, AppliesTheConfigFileAndThePortOption) {
    config.write("[CNC]\nSM_X_ratio=-0,01\nPort=com9\n");
    const BatchParseResult plain = parseBatchCommandLine({"--config", config.path(), "ports"});
    EXPECT_EQ(batchConfigPath(plain.commandLine.options), config.path());
    Program program(batchConfigPath(plain.commandLine.options));
    EXPECT_EQ(loadBatchSettings(program, plain.commandLine.options), QString());
    EXPECT_DOUBLE_EQ(program.settings.values().StepRatioX, -0.01);
    EXPECT_EQ(program.settings.values().PortName, "com9");

    const BatchParseResult withPort =
        parseBatchCommandLine({"ports", "--config", config.path(), "--port", "sim"});
    Program overridden(batchConfigPath(withPort.commandLine.options));
    loadBatchSettings(overridden, withPort.commandLine.options);
    EXPECT_EQ(overridden.settings.values().PortName, "sim");
    EXPECT_EQ(runBatch({"ports", "--config", config.path(), "--port", "sim"}), 0);
    EXPECT_EQ(config.bytes(), "[CNC]\nSM_X_ratio=-0,01\nPort=com9\n");  // never written
}

// A mistyped --config must not run the machine with the default ratios and port.
TEST_F(RunBatchTest, MissingConfigFileFails) {
    EXPECT_EQ(runBatch({"--config", config.dir() + "/missing.ini", "ports"}), 1);
    EXPECT_EQ(runBatch({"--config", config.dir(), "ports"}), 1);  // a directory
}
