#include <gtest/gtest.h>

#include "app/ProgramSettings.h"
#include "app/batch/BatchMain.h"
#include "app/batch/BatchParser.h"
#include "tests/app/ConfigTestSupport.h"

namespace {

BatchParseResult parse(const QStringList& words) {
    return parseBatchCommandLine(words);
}

}  // namespace

TEST(BatchParser, OptionsMayStandBeforeOrAfterTheCommand) {
    for (const QStringList& words :
         {QStringList{"--dry-run", "--port", "sim", "--width", "150", "mill", "all", "p.bmp"},
          QStringList{"mill", "--width", "150", "all", "--dry-run", "p.bmp", "--port", "sim"},
          QStringList{"mill", "all", "p.bmp", "--port=sim", "--width=150", "--dry-run"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        const BatchParseResult result = parse(words);
        ASSERT_EQ(result.error, QString());
        EXPECT_EQ(result.request, BatchParseResult::Request::Run);
        EXPECT_EQ(result.commandLine.command, "mill");
        EXPECT_EQ(result.commandLine.arguments, (QStringList{"all", "p.bmp"}));
        EXPECT_TRUE(result.commandLine.options.dryRun);
        EXPECT_EQ(result.commandLine.options.port, "sim");
        EXPECT_EQ(result.commandLine.options.width, "150");
    }
}

TEST(BatchParser, NumbersAfterTheCommandAreArguments) {
    const BatchParseResult move = parse({"move", "-1", "0", "0"});
    ASSERT_EQ(move.error, QString());
    EXPECT_EQ(move.commandLine.command, "move");
    EXPECT_EQ(move.commandLine.arguments, (QStringList{"-1", "0", "0"}));

    const BatchParseResult comma =
        parse({"--dry-run", "move", "-0,5", "-2.5", "-1e-3", "--timeout", "3"});
    ASSERT_EQ(comma.error, QString());
    EXPECT_EQ(comma.commandLine.arguments, (QStringList{"-0,5", "-2.5", "-1e-3"}));
    EXPECT_DOUBLE_EQ(comma.commandLine.options.timeoutSeconds, 3);

    // An option's value is taken whatever it looks like.
    const BatchParseResult value = parse({"move", "--width", "-5", "1", "2", "3"});
    ASSERT_EQ(value.error, QString());
    EXPECT_EQ(value.commandLine.options.width, "-5");
    EXPECT_EQ(value.commandLine.arguments, (QStringList{"1", "2", "3"}));
}

TEST(BatchParser, DoubleDashEndsTheOptions) {
    const BatchParseResult result = parse({"--dry-run", "parse", "--", "--labels", "-x.bmp"});
    ASSERT_EQ(result.error, QString());
    EXPECT_EQ(result.commandLine.command, "parse");
    EXPECT_EQ(result.commandLine.arguments, (QStringList{"--labels", "-x.bmp"}));
    EXPECT_TRUE(result.commandLine.options.labels.isEmpty());

    const BatchParseResult commandAfter = parse({"--", "ports"});
    EXPECT_EQ(commandAfter.commandLine.command, "ports");
}

TEST(BatchParser, HelpAndVersionNeedNoCommand) {
    EXPECT_EQ(parse({"--version"}).request, BatchParseResult::Request::Version);
    EXPECT_EQ(parse({"--help"}).request, BatchParseResult::Request::Help);
    EXPECT_EQ(parse({"move", "--help"}).request, BatchParseResult::Request::Help);
    EXPECT_EQ(parse({"--version"}).error, QString());
}

TEST(BatchParser, RefusesBadCommandLines) {
    for (const QStringList& words :
         {QStringList{}, QStringList{"--dry-run"}, QStringList{"--bogus", "ports"},
          QStringList{"ports", "--bogus"}, QStringList{"-x", "ports"}, QStringList{"move", "-x"},
          QStringList{"-1", "move"}, QStringList{"move", "--width"}, QStringList{"--port"},
          QStringList{"scan", "--timeout", "abc"}, QStringList{"scan", "--timeout", "-1"},
          QStringList{"mill", "--figure", "1,2,3"}, QStringList{"serve-sim", "--delay", "-5"},
          QStringList{"ports", "--dry-run=yes"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        EXPECT_FALSE(parse(words).error.isEmpty());
    }
}

class RunBatchTest : public testing::Test {
protected:
    void SetUp() override { Settings() = ProgramSettings(); }
    void TearDown() override {
        setConfigPath({});
        Settings() = ProgramSettings();
    }
};

TEST_F(RunBatchTest, BadCommandLinesExitWithStatus2) {
    ScopedConfig config;
    for (const QStringList& words :
         {QStringList{}, QStringList{"bogus"}, QStringList{"ports", "--bogus"},
          QStringList{"ports", "x"}, QStringList{"ports", "--width"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        EXPECT_EQ(runBatch(words), 2);
    }
}

TEST_F(RunBatchTest, AppliesTheConfigFileAndThePortOption) {
    ScopedConfig config;
    config.write("[CNC]\nSM_X_ratio=-0,01\nPort=com9\n");
    setConfigPath({});
    EXPECT_EQ(runBatch({"--config", config.path(), "ports"}), 0);
    EXPECT_EQ(ConfigPath(), config.path());
    EXPECT_DOUBLE_EQ(Settings().StepRatioX, -0.01);
    EXPECT_EQ(Settings().PortName, "com9");

    EXPECT_EQ(runBatch({"ports", "--config", config.path(), "--port", "sim"}), 0);
    EXPECT_EQ(Settings().PortName, "sim");
    EXPECT_EQ(config.bytes(), "[CNC]\nSM_X_ratio=-0,01\nPort=com9\n");  // never written
}

// A mistyped --config must not run the machine with the default ratios and port.
TEST_F(RunBatchTest, MissingConfigFileFails) {
    ScopedConfig config;
    EXPECT_EQ(runBatch({"--config", config.dir() + "/missing.ini", "ports"}), 1);
    EXPECT_EQ(runBatch({"--config", config.dir(), "ports"}), 1);  // a directory
}
