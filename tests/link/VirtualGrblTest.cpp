#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <cmath>

#include "link/virtual/VirtualGrbl.h"

// The virtual GRBL in machine time: what a real GRBL 1.1 does with queued motion, a feed hold,
// a reset while moving and a probe cycle, step by step without a clock.

namespace {

const StepRatios kRatios{0.005, 0.005, 0.005};

// The MPos of a status report.
Millimetres reportedPosition(const QByteArray& report) {
    const qsizetype from = report.indexOf("MPos:") + 5;
    const QList<QByteArray> values = report.mid(from, report.indexOf('|', from) - from).split(',');
    return {values.value(0).toDouble(), values.value(1).toDouble(), values.value(2).toDouble()};
}

QByteArray stateOf(const QByteArray& report) {
    return report.mid(1, report.indexOf('|') - 1);
}

class VirtualGrblTest : public ::testing::Test {
protected:
    VirtualGrblTest() {
        grbl.setSurface([](double, double) { return -2.0; });
    }
    // Runs machine time in steps of 1 ms until `done` or `ms` have passed; the answers.
    QByteArray run(double ms, const std::function<bool()>& done = {}) {
        QByteArray out;
        for (double t = 0; t < ms && !(done && done()); ++t) out += grbl.advance(1);
        return out;
    }
    VirtualGrbl grbl{kRatios, 5};
};

TEST_F(VirtualGrblTest, AcceptedLinesStayQueuedAndRunAtTheirFeedUntilIdle) {
    // Twenty 1 mm moves at 600 mm/min (100 ms each): 15 fill the planner and are answered at
    // once, the others as room is freed.
    QByteArray lines = "G21\nG91\n";
    for (int i = 0; i < 20; ++i) lines += "G1 X1 F600\n";
    const QByteArray first = grbl.receive(lines);
    EXPECT_EQ(first.count("ok"), 2 + 15);
    EXPECT_EQ(stateOf(grbl.receive("?")), "Run");

    const QByteArray freed = run(250);
    EXPECT_EQ(freed.count("ok"), 2) << "two blocks done: two more lines taken";
    const QByteArray report = grbl.receive("?");
    EXPECT_EQ(stateOf(report), "Run");
    EXPECT_NEAR(reportedPosition(report).x, 2.5, 0.01) << "the position reached, not planned";

    const QByteArray later = run(2000, [&] { return grbl.idle(); });
    EXPECT_EQ(later.count("ok"), 3);
    EXPECT_NEAR(grbl.position().x, 20, 1e-9);
    const QByteArray end = grbl.receive("?");
    EXPECT_EQ(stateOf(end), "Idle");
    EXPECT_NEAR(reportedPosition(end).x, 20, 1e-9);
}

TEST_F(VirtualGrblTest, FeedHoldBrakesAlongThePathAndAResetAfterItKeepsThePosition) {
    grbl.receive("G91\nG1 X10 F600\nG1 X10\n");
    run(300);
    grbl.receive("!");
    EXPECT_EQ(stateOf(grbl.receive("?")), "Hold:1") << "still braking";
    run(1000, [&] { return grbl.state() == "Hold:0"; });
    const QByteArray held = grbl.receive("?");
    ASSERT_EQ(stateOf(held), "Hold:0");
    // From 10 mm/s at 50 mm/s²: v² / 2a = 1 mm past the point of the "!".
    EXPECT_NEAR(reportedPosition(held).x, 3 + 1, 0.02) << "stopped part-way through the block";
    run(500);
    EXPECT_NEAR(grbl.position().x, reportedPosition(held).x, 1e-9) << "a hold stays put";

    const QByteArray reset = grbl.receive("\x18");
    EXPECT_FALSE(reset.contains("ALARM")) << reset.toStdString();
    EXPECT_TRUE(reset.contains("Grbl 1.1h"));
    const QByteArray after = grbl.receive("?");
    EXPECT_EQ(stateOf(after), "Idle");
    EXPECT_NEAR(reportedPosition(after).x, reportedPosition(held).x, 1e-9);
    EXPECT_EQ(grbl.receive("G91 G0 Z1\n"), "ok\r\n");
}

TEST_F(VirtualGrblTest, ResetWhileMovingRaisesAlarm3AndLocksEveryLineUntilUnlocked) {
    grbl.receive("G91\nG1 Z-5 F200\n");
    run(200);
    const QByteArray reset = grbl.receive("\x18");
    EXPECT_TRUE(reset.startsWith("ALARM:3\r\n")) << reset.toStdString();
    EXPECT_TRUE(reset.contains("[MSG:'$H'|'$X' to unlock]"));
    EXPECT_EQ(stateOf(grbl.receive("?")), "Alarm");
    for (const char* line : {"G21\n", "G91\n", "M5\n", "G53 G0 Z0\n"})
        EXPECT_EQ(grbl.receive(line), "error:9\r\n") << line;
    EXPECT_EQ(grbl.receive("$X\n"), "ok\r\n");
    EXPECT_EQ(grbl.receive("G53 G0 Z0\n"), "ok\r\n");
}

TEST_F(VirtualGrblTest, ProbeReportsTheContactAndCoastsPastIt) {
    const QByteArray started = grbl.receive("G38.2 Z-10 F300\n");
    EXPECT_TRUE(started.isEmpty()) << "the answer comes when the probe has stopped";
    EXPECT_EQ(stateOf(grbl.receive("?")), "Run");
    const QByteArray out = run(5000, [&] { return grbl.idle(); });
    EXPECT_EQ(out, "[PRB:0.000,0.000,-2.000:1]\r\nok\r\n");
    // 5 mm/s braked at 50 mm/s²: 0.25 mm past the contact, as the real firmware coasts.
    EXPECT_NEAR(grbl.position().z, -2.25, 0.01);
}

TEST_F(VirtualGrblTest, ProbeAlreadyInContactOrMeetingNothingRaisesItsAlarm) {
    grbl.receive("G91\nG0 Z-3\n");
    run(1000, [&] { return grbl.idle(); });
    EXPECT_EQ(grbl.receive("G38.2 Z-10 F300\n"), "ALARM:4\r\n");
    EXPECT_EQ(grbl.receive("G0 Z1\n"), "error:9\r\n");

    VirtualGrbl deep{kRatios, 5};
    deep.setSurface([](double, double) { return -20.0; });
    deep.receive("G38.2 Z-3 F600\n");
    QByteArray out;
    for (int t = 0; t < 2000 && !deep.idle(); ++t) out += deep.advance(1);
    EXPECT_EQ(out, "ALARM:5\r\n");
    EXPECT_NEAR(deep.position().z, -3, 1e-9) << "stopped at the end of its travel";
}

TEST_F(VirtualGrblTest, SettingsListLaserModeAndTakeAChange) {
    EXPECT_TRUE(grbl.receive("$$\n").contains("\r\n$32=0\r\n"));
    EXPECT_EQ(grbl.receive("$32=1\n"), "ok\r\n");
    const QByteArray listed = grbl.receive("$$\n");
    EXPECT_TRUE(listed.contains("\r\n$32=1\r\n"));
    EXPECT_TRUE(listed.endsWith("ok\r\n"));
    EXPECT_EQ(grbl.receive("M4 S67\n"), "ok\r\n");
    EXPECT_EQ(grbl.spindle(), "M4 S67");
}

}  // namespace
