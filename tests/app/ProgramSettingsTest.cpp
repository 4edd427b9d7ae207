#include <gtest/gtest.h>

#include "app/config/ProgramSettings.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

namespace {

// Settings with values that start-up must overwrite.
ProgramSettings staleSettings() {
    return {7, 7, 7, QStringLiteral("stale"), 7, {}};
}

}  // namespace

TEST(LoadProgramSettings, FirstStartWithoutFileGivesTheDefaults) {
    ScopedConfig config;
    ProgramSettings settings = staleSettings();
    EXPECT_EQ(loadProgramSettings(testProgram().config, settings), QString());
    EXPECT_DOUBLE_EQ(settings.StepRatioX, 0.005);
    EXPECT_DOUBLE_EQ(settings.StepRatioY, 0.005);
    EXPECT_DOUBLE_EQ(settings.StepRatioZ, 0.005);
    EXPECT_EQ(settings.PortName, "com1");
    EXPECT_DOUBLE_EQ(settings.ReplyTimeoutSeconds, 120);
    EXPECT_FALSE(QFile::exists(config.path()));  // start-up writes nothing
}

// The time limit of a wait: seconds as typed, and the default for anything but a number above 0.
TEST(LoadProgramSettings, ReadsTheReplyTimeLimitOrKeepsTheDefault) {
    const std::pair<const char*, double> cases[] = {
        {"port_timeout=2,5\n", 2.5}, {"port_timeout=0\n", 120}, {"port_timeout=abc\n", 120}};
    for (const auto& [line, seconds] : cases) {
        SCOPED_TRACE(line);
        ScopedConfig config;
        config.write(QByteArray("[CNC]\n") + line);
        ProgramSettings settings = staleSettings();
        loadProgramSettings(testProgram().config, settings);
        EXPECT_DOUBLE_EQ(settings.ReplyTimeoutSeconds, seconds);
    }
}

// The probe's scale: any number but 0 as typed (negative for a probe that reads down), the
// default 0.01 mm per unit otherwise.
TEST(LoadProgramSettings, ReadsTheProbesScaleOrKeepsTheDefault) {
    const std::pair<const char*, double> cases[] = {{"probe_mm_per_unit=0,02\n", 0.02},
                                                    {"probe_mm_per_unit=-1e-3\n", -0.001},
                                                    {"probe_mm_per_unit=0\n", 0.01},
                                                    {"probe_mm_per_unit=x\n", 0.01}};
    for (const auto& [line, scale] : cases) {
        SCOPED_TRACE(line);
        ScopedConfig config;
        config.write(QByteArray("[CNC]\n") + line);
        ProgramSettings settings = staleSettings();
        settings.ProbeScaleMm = 7;
        loadProgramSettings(testProgram().config, settings);
        EXPECT_DOUBLE_EQ(settings.ProbeScaleMm, scale);
    }
}

TEST(LoadProgramSettings, ReadsRatiosWithEitherSeparatorAndThePortUnderAnyCase) {
    ScopedConfig config;
    config.write("[cnc]\nsm_x_ratio=-0.005\nSM_Y_ratio=0,01\nSM_Z_RATIO= -2,5e-3 \nport=com3\n");
    ProgramSettings settings = staleSettings();
    EXPECT_EQ(loadProgramSettings(testProgram().config, settings), QString());
    EXPECT_DOUBLE_EQ(settings.StepRatioX, -0.005);
    EXPECT_DOUBLE_EQ(settings.StepRatioY, 0.01);
    EXPECT_DOUBLE_EQ(settings.StepRatioZ, -0.0025);
    EXPECT_EQ(settings.PortName, "com3");
}

// A ratio that is not a number must neither crash nor be replaced by a guess: a default of
// +0.005 would run an axis calibrated negative backwards. A ratio of 0 refuses every move, so it
// is reported too.
TEST(LoadProgramSettings, RatioThatIsNotANumberOrZeroBecomesZeroAndIsReportedOnce) {
    ScopedConfig config;
    config.write("[CNC]\nSM_X_ratio=-0.005\nSM_Y_ratio=0.005abc\nSM_Z_ratio=0,0\nPort=com2\n");
    ProgramSettings settings = staleSettings();
    const QString warning = loadProgramSettings(testProgram().config, settings);
    EXPECT_DOUBLE_EQ(settings.StepRatioX, -0.005);
    EXPECT_EQ(settings.StepRatioY, 0.0);
    EXPECT_EQ(settings.StepRatioZ, 0.0);
    EXPECT_EQ(settings.PortName, "com2");
    EXPECT_TRUE(warning.contains("SM_Y_ratio = \"0.005abc\"")) << warning.toStdString();
    EXPECT_TRUE(warning.contains("SM_Z_ratio = \"0,0\"")) << warning.toStdString();
    EXPECT_TRUE(warning.contains(config.path())) << warning.toStdString();
    EXPECT_EQ(warning.count(u"SM_"), 2);  // one message naming each bad key once, X not at all
}

TEST(LoadProgramSettings, GcodeKeysAreReadAndAValueNotAboveZeroKeepsTheDefault) {
    ScopedConfig config;
    config.write(
        "[CNC]\ngcode_feed_mill=750,5\ngcode_probe_limit=2.5\ngcode_feed_laser=abc\n"
        "gcode_height_range=0\ngcode_laser_scale=-255\n");
    ProgramSettings settings = staleSettings();
    settings.Gcode.PlungeFeed = 1;
    EXPECT_EQ(loadProgramSettings(testProgram().config, settings), QString());
    const GcodeSettings defaults;
    EXPECT_DOUBLE_EQ(settings.Gcode.MillFeed, 750.5);
    EXPECT_DOUBLE_EQ(settings.Gcode.ProbeLimit, 2.5);
    EXPECT_DOUBLE_EQ(settings.Gcode.LaserFeed, defaults.LaserFeed);
    EXPECT_DOUBLE_EQ(settings.Gcode.HeightRange, defaults.HeightRange);
    EXPECT_DOUBLE_EQ(settings.Gcode.LaserScale, defaults.LaserScale);
    EXPECT_DOUBLE_EQ(settings.Gcode.PlungeFeed, defaults.PlungeFeed) << "a missing key";
}
