#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/config/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "link/job/ProgressClock.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "mill/MillJobs.h"
#include "outline/OutlineJobs.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

// A host whose clock is the machine's: it advances only by the time the lines take (and the
// dry run's pauses), and every report is put through a ProgressClock as the windows do.
class TimedHost : public FakeJobHost {
public:
    struct Report {
        JobProgress progress;
        std::int64_t atMs;
        ProgressTimes times;
    };
    void reportProgress(const JobProgress& progress) override {
        reports.push_back({progress, now, clock.report(progress, now)});
    }
    ProgressClock clock;
    std::vector<Report> reports;
};

// A controller that answers every line at once, the line having taken 8 to 15 ms of the host's
// clock (in a fixed pseudo-random order, as a machine's lines vary).
class TimedController final : public SerialTransport {
public:
    explicit TimedController(TimedHost& host) : m_host(host) {}
    qint64 write(const QByteArray& bytes) override {
        m_seed = m_seed * 1103515245u + 12345u;
        m_host.now += 8 + (m_seed >> 16) % 8;
        m_pending += "OK\r\n";
        return bytes.size();
    }
    void readAvailable(QByteArray& into) override {
        into += m_pending;
        m_pending.clear();
    }
    bool pausesAfterWrite() const override { return false; }

private:
    TimedHost& m_host;
    QByteArray m_pending;
    std::uint32_t m_seed = 1;
};

class StepEstimateTest : public ::testing::Test {
protected:
    void SetUp() override {
        PictureFileResult loaded = loadPictureFile(QStringLiteral(CNC_ORNAMENT_PATH));
        ASSERT_EQ(loaded.status, PictureLoadStatus::Loaded);
        source = work = cutter = loaded.picture;
        analysis = ParseFigures(work);
        host.fields[JobField::FinishedWidth] = "200";
        host.fields[JobField::Depth] = "2";
        host.fields[JobField::Diameter] = "2";
        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<TimedController>(host)));
        host.clock.start(host.now);
    }
    void TearDown() override { testProgram().link.close(); }

    // The report of the job at the first that has done at least `fraction` of its steps.
    const TimedHost::Report& reportAt(double fraction) const {
        for (const TimedHost::Report& report : host.reports)
            if (report.progress.done >= fraction * double(report.progress.total)) return report;
        return host.reports.back();
    }

    PixelBuffer source, work, cutter;
    FigureAnalysis analysis;
    CutterSize cutterSize;
    ToolPosition tool;
    TimedHost host;
    MoveProtocol protocol{MoveRules::Milling, host, testProgram().link,
                          testProgram().settings.values()};
};

// "Все" on the ornament: its steps are known before the first line, every report counts the
// steps taken of them, and from a tenth of the job on the time left is that which remained
// within 20 %.
TEST_F(StepEstimateTest, TimeLeftOfMillAllFollowsTheStepsOfTheOrnament) {
    MillJobs jobs({source, work, cutter, analysis, cutterSize, tool}, host, protocol);
    jobs.MillAll();
    ASSERT_GT(host.reports.size(), 20u);
    const std::int64_t total = host.reports.front().progress.total;
    EXPECT_EQ(total, jobs.steps());
    for (const TimedHost::Report& report : host.reports) {
        ASSERT_EQ(report.progress.total, total);
        ASSERT_LE(report.progress.done, total);
    }
    EXPECT_EQ(host.reports.back().progress.done, total);
    const std::int64_t endMs = host.now;
    for (const double fraction : {0.1, 0.5, 0.9}) {
        SCOPED_TRACE(fraction);
        const TimedHost::Report& report = reportAt(fraction);
        ASSERT_TRUE(report.times.leftMs.has_value());
        const double remained = double(endMs - report.atMs);
        EXPECT_NEAR(double(*report.times.leftMs), remained, 0.2 * remained);
    }
}

// The jobs of rings plan the steps of every ring before the first: their total is the steps
// they then take, in the milling and the outlining window alike (dry runs).
TEST_F(StepEstimateTest, RingJobsKnowTheStepsOfAllTheirRingsBeforeTheyStart) {
    host.output = false;
    const std::function<std::int64_t()> jobs[] = {
        [&] {
            MillJobs mill({source, work, cutter, analysis, cutterSize, tool}, host, protocol);
            mill.Cut3D();
            return mill.steps();
        },
        [&] {
            OutlineJobs outline({source, work, cutter, analysis, tool}, host, protocol);
            outline.EngraveAllFilled();
            return outline.steps();
        },
    };
    for (const auto& job : jobs) {
        host.reports.clear();
        work = source;
        analysis = ParseFigures(work);
        const std::int64_t steps = job();
        ASSERT_FALSE(host.reports.empty());
        EXPECT_GT(steps, 0);
        EXPECT_EQ(host.reports.front().progress.total, steps);
        EXPECT_EQ(host.reports.back().progress.done, steps);
    }
}

}  // namespace
