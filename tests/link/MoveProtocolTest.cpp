#include "link/protocol/MoveProtocol.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

const QByteArray kOk = "OK\r\n";

// A window's protocol over a scripted port, with the ratios of a freshly installed program.
class MoveProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        testProgram().settings.values() = ProgramSettings{};
        m_link.adopt(testProgram().driver.attach(std::make_unique<ScriptedTransport>(m_script)));
        m_host.fields[JobField::FinishedWidth] = QStringLiteral("200");
        m_host.fields[JobField::Depth] = QStringLiteral("10");
        m_host.timeoutMs = 60000;  // a wait that outlives its script ends instead of hanging
    }
    void TearDown() override {
        m_link.close();
        testProgram().settings.values() = ProgramSettings{};
    }
    MoveProtocol window(MoveRules kind) {
        MoveProtocol protocol(kind, m_host, m_link, testProgram().settings.values());
        protocol.setPictureWidth(400);
        return protocol;
    }

    std::shared_ptr<PortScript> m_script = std::make_shared<PortScript>();
    FakeJobHost m_host;
    MachineLink m_link{testProgram().portKinds, testProgram().settings.values()};
};

// The JobEnded that `act` throws; a failure when it returns normally.
JobEnded endOf(const std::function<void()>& act) {
    try {
        act();
    } catch (const JobEnded& ended) {
        return ended;
    }
    ADD_FAILURE() << "the job did not end";
    return JobEnded(JobEnded::Reason::Stopped, std::nullopt, QString());
}

// The worked examples: millimetres rounded to whole steps, halves to even, on every axis.
TEST_F(MoveProtocolTest, ManualMoveRoundsToWholeStepsHalvesToEven) {
    m_script->perLine = {kOk};
    for (const auto& [millimetres, ratio, steps] :
         {std::tuple{0.0025, 0.005, 0}, std::tuple{0.0075, 0.005, 2}, std::tuple{-1.0, 0.005, -200},
          std::tuple{0.0125, 0.005, 2}, std::tuple{-0.0075, 0.005, -2},
          std::tuple{1.0, -0.005, -200}}) {
        SCOPED_TRACE(testing::Message() << millimetres << " mm at " << ratio << " mm/step");
        m_script->written.clear();
        testProgram().settings.values().StepRatioX = testProgram().settings.values().StepRatioY =
            testProgram().settings.values().StepRatioZ = ratio;
        MoveProtocol protocol = window(MoveRules::Milling);
        protocol.ArduinoMoveMM(millimetres, 0, 0);
        protocol.ArduinoMoveMM(0, millimetres, 0);
        protocol.ArduinoMoveMM(0, 0, millimetres);
        const QByteArray s = QByteArray::number(steps);
        EXPECT_EQ(m_script->written,
                  (QList<QByteArray>{s + ",0,0;", "0," + s + ",0;", "0,0," + s + ";"}));
        EXPECT_TRUE(m_script->arrivals.isEmpty());  // each move took its own answer
    }
}

TEST_F(MoveProtocolTest, ManualMoveIsSentAndAwaitedWithTheOutputBoxClear) {
    // Its "OK" must not be left for the next job's first wait, or the job runs a line ahead.
    m_host.output = false;
    m_script->arrivals = {QByteArray(), kOk};
    MoveProtocol protocol = window(MoveRules::Milling);
    protocol.ArduinoMoveMM(1, 0, 0);
    EXPECT_EQ(m_script->written, QList<QByteArray>{"200,0,0;"});
    EXPECT_EQ(m_host.eventRounds, 1);
    EXPECT_TRUE(protocol.replyBuffer().isEmpty());

    m_host.output = true;
    m_script->arrivals = {QByteArray(), QByteArray(), kOk};
    protocol.MovePixels(1, 0, 0, true);
    EXPECT_EQ(m_host.eventRounds, 3);  // the job's wait waited for its own answer
}

TEST_F(MoveProtocolTest, ManualMoveWithoutAPortSendsNothing) {
    m_link.adopt(kPortCannotOpen);
    MoveProtocol protocol = window(MoveRules::Milling);
    EXPECT_NO_THROW(protocol.ArduinoMoveMM(1, 1, 1));
    EXPECT_EQ(protocol.linesSent(), 0);
}

TEST_F(MoveProtocolTest, AnAxisWithAZeroRatioMayStandStill) {
    testProgram().settings.values().StepRatioZ = 0;
    m_script->perLine = {kOk};
    window(MoveRules::Milling).ArduinoMoveMM(1, -1, 0);
    EXPECT_EQ(m_script->written, QList<QByteArray>{"200,-200,0;"});
}

TEST_F(MoveProtocolTest, MillingWorkedExampleSendsAndWaits) {
    m_script->arrivals = {QByteArray(), "O", QByteArray(), "K\r\n"};
    MoveProtocol protocol = window(MoveRules::Milling);
    protocol.MovePixels(3, -1, 0, true);
    EXPECT_EQ(m_script->written, QList<QByteArray>{"300,-100,0;"});
    EXPECT_EQ(m_host.eventRounds, 2);
    EXPECT_TRUE(m_script->arrivals.isEmpty());
    EXPECT_EQ(protocol.linesSent(), 1);
}

// A milling job resumed on a G-code port with the cutter stopped over the surface (in a travel
// at the port's safe height): the cutter comes down to the surface as a plain move, which the
// port's translator does not take for a plunge; then the travel and the job's own plunge.
TEST_F(MoveProtocolTest, ResumeOnAGcodePortLowersACutterStoppedOverTheSurfaceAsAPlainMove) {
    m_script->speaksGcode = true;
    m_script->perLine = {kOk};
    MoveProtocol protocol = window(MoveRules::Milling);
    ResumeStart start;
    start.skipLines = 1;
    start.machine.at = {50, 0, 1000};
    protocol.trackJob(nullptr, start);
    protocol.MovePixels(3, 0, 0, true);
    protocol.MovePixels(0, 0, -10, true);
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"0,0,-1000;", "250,0,0;", "0,0,-80;"}));
    ASSERT_EQ(m_script->meanings.size(), 3);
    EXPECT_TRUE(m_script->meanings[0].manual);
    EXPECT_FALSE(m_script->meanings[1].manual);
    EXPECT_FALSE(m_script->meanings[2].manual);
    EXPECT_EQ(protocol.joinLines(), 2);
}

// Where a job stopped on a port that reports the machine (GRBL, which runs ahead of the lines
// answered: all nine lines are answered here) is found from the reported point: in a cut, the
// border goes again from its plunge; in a travel, that travel goes again; in the next border's
// plunge, that border from its plunge.
TEST_F(MoveProtocolTest, ReportedPointFindsTheLineOrTheBorderTheMachineStoppedIn) {
    struct Case {
        SerialTransport::Position reported;
        std::int64_t skipLines;
        MachinePosition at;
    };
    // 50 steps a pixel, 4 steps a grey level: borders at x 100..300 and at x 500.
    const Case cases[] = {{{2.5, 0, -0.4}, 1, {250, 0, -40}},
                          {{4, 2, 5}, 5, {400, 200, 500}},
                          {{5, 2, -0.2}, 6, {500, 200, -20}}};
    for (const Case& each : cases) {
        // Each case a port opened afresh, where the job starts.
        m_link.close();
        SetUp();
        ProgramSettings& settings = testProgram().settings.values();
        settings.StepRatioX = settings.StepRatioY = settings.StepRatioZ = 0.01;
        m_script->perLine = {kOk};
        m_script->reported = SerialTransport::Position{};
        MoveProtocol protocol = window(MoveRules::Milling);
        protocol.trackJob(nullptr);
        for (const auto& [dx, dy, dz] : {std::tuple{2, 0, 0},
                                         {0, 0, -10},
                                         {4, 0, 0},
                                         {0, 4, 0},
                                         {0, 0, 10},
                                         {4, 0, 0},
                                         {0, 0, -10},
                                         {0, -4, 0},
                                         {0, 0, 10}})
            protocol.MovePixels(dx, dy, dz, true);
        m_script->reported = each.reported;
        const ResumeStart start = protocol.resumeAtReportedPoint();
        EXPECT_EQ(start.skipLines, each.skipLines) << each.reported.x << "," << each.reported.y;
        EXPECT_EQ(start.machine.at, each.at);
    }
}

// The laser windows' third field is the laser's value, not a Z move: the tool position the link
// counts moves in Z only for the milling and scanner windows' lines and the manual moves.
TEST_F(MoveProtocolTest, ThirdFieldIsScaledOnlyByTheMillingWindow) {
    // Depth 10 mm / 0.005 / 255 = 7.84 steps per grey level, rounded to 8.
    m_script->perLine = {kOk};
    const struct {
        MoveRules kind;
        MachinePosition after;
    } cases[] = {
        {MoveRules::Milling, {100, 200, -2040}},
        {MoveRules::Engraving, {200, 400, -2040}},
        {MoveRules::Outlining, {300, 600, -2040}},
    };
    for (const auto& c : cases) {
        window(c.kind).MovePixels(1, 2, -255, true);
        EXPECT_EQ(m_link.position(), c.after) << int(c.kind);
    }
    EXPECT_EQ(m_script->written,
              (QList<QByteArray>{"100,200,-2040;", "100,200,-255;", "100,200,-255;"}));
    window(MoveRules::Engraving).ArduinoMoveMM(0, 0, 1);
    EXPECT_EQ(m_link.position(), (MachinePosition{300, 600, -1840}));
}

TEST_F(MoveProtocolTest, FactorsAreReadAnewAtEveryCall) {
    MoveProtocol protocol = window(MoveRules::Engraving);
    protocol.MovePixels(1, 1, 5, false);
    m_host.fields[JobField::FinishedWidth] = QStringLiteral("100,5");  // typed during the job
    protocol.MovePixels(1, 1, 5, false);
    testProgram().settings.values().StepRatioY = 0.01;
    protocol.MovePixels(1, 1, 5, false);
    protocol.setPictureWidth(201);
    protocol.MovePixels(1, 1, 5, false);
    // 100.5 / 0.005 / 400 = 50.25; / 0.01 / 400 = 25.125; / 0.005 / 201 = 100; / 0.01 / 201 = 50.
    EXPECT_EQ(m_script->written,
              (QList<QByteArray>{"100,100,5;", "50,50,5;", "50,25,5;", "100,50,5;"}));
}

TEST_F(MoveProtocolTest, OutputBoxClearMakesADryRun) {
    m_host.output = false;
    MoveProtocol protocol = window(MoveRules::Outlining);
    protocol.MovePixels(3, 4, 1, true);
    protocol.WaitForOk();
    EXPECT_TRUE(m_script->written.isEmpty());
    EXPECT_EQ(m_script->polls, 0);
}

using Arrange = std::function<void(ProgramSettings&, QMap<JobField, QString>&, MachineLink&)>;
using Act = std::function<void(MoveProtocol&)>;

struct RefusalCase {
    const char* name;
    Arrange arrange;
    Act act;
    const char* mentions;  // a word the message must hold
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

Arrange ratio(double ProgramSettings::*axis, double value) {
    return [=](ProgramSettings& settings, QMap<JobField, QString>&, MachineLink&) {
        settings.*axis = value;
    };
}
Arrange field(JobField which, const char* text) {
    return [=](ProgramSettings&, QMap<JobField, QString>& fields, MachineLink&) {
        fields[which] = QString::fromUtf8(text);
    };
}
const Arrange kAsInstalled = [](ProgramSettings&, QMap<JobField, QString>&, MachineLink&) {};
Act manual(double dx, double dy, double dz) {
    return [=](MoveProtocol& p) { p.ArduinoMoveMM(dx, dy, dz); };
}
Act pixels(int dx, int dy) {
    return [=](MoveProtocol& p) { p.MovePixels(dx, dy, 0, true); };
}

class Refusals : public MoveProtocolTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, SendNothingAndSayWhy) {
    const RefusalCase& c = GetParam();
    m_script->perLine = {kOk};
    c.arrange(testProgram().settings.values(), m_host.fields, m_link);
    MoveProtocol protocol = window(MoveRules::Milling);
    const JobEnded ended = endOf([&] { c.act(protocol); });
    EXPECT_EQ(ended.reason(), JobEnded::Reason::Refused);
    EXPECT_EQ(ended.title(), kErrorTitle);
    EXPECT_TRUE(ended.message().contains(QString::fromUtf8(c.mentions)))
        << qPrintable(ended.message());
    EXPECT_TRUE(m_script->written.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    MoveProtocol, Refusals,
    ::testing::Values(
        RefusalCase{"ManualZeroRatio", ratio(&ProgramSettings::StepRatioY, 0), manual(0, 1, 0),
                    "Y"},
        RefusalCase{"ManualNanRatio",
                    ratio(&ProgramSettings::StepRatioZ, std::numeric_limits<double>::quiet_NaN()),
                    manual(0, 0, -1), "Z"},
        RefusalCase{"ManualTooFarOnLastAxisOnly", kAsInstalled, manual(1, 1, -10737418.25), "Z"},
        RefusalCase{"PixelsZeroRatio", ratio(&ProgramSettings::StepRatioX, 0), pixels(0, 1), "X"},
        RefusalCase{"PixelsZeroDepthRatio", ratio(&ProgramSettings::StepRatioZ, 0), pixels(1, 1),
                    "Z"},
        RefusalCase{"WidthNotANumber", field(JobField::FinishedWidth, "200 мм"), pixels(1, 1),
                    "Ширина"},
        RefusalCase{"DepthNotANumber", field(JobField::Depth, "1,2,3"), pixels(1, 1), "Глубина"},
        RefusalCase{"NoPicture", kAsInstalled,
                    [](MoveProtocol& p) {
                        p.setPictureWidth(0);
                        p.MovePixels(1, 1, 0, true);
                    },
                    "Картинка"},
        RefusalCase{"ProductTooLarge", field(JobField::FinishedWidth, "1000000"), pixels(1, -5000),
                    "Y"},
        RefusalCase{"RawValueTooLarge", kAsInstalled,
                    [](MoveProtocol& p) { p.sendLine(2147483648LL, 0, 0, true); }, "X"},
        RefusalCase{"TickedWithoutAPort",
                    [](ProgramSettings&, QMap<JobField, QString>&, MachineLink& link) {
                        link.adopt(kPortSettingsRefused);
                    },
                    pixels(1, 1), "Com-порт"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(MoveProtocolTest, BurstLeavesTheSecondOkForTheNextMillingWait) {
    m_script->arrivals = {"OK\r\nOK\r\n"};
    MoveProtocol protocol = window(MoveRules::Milling);
    protocol.MovePixels(1, 0, 0, true);
    EXPECT_EQ(protocol.replyBuffer(), QByteArray("OK"));
    const int polls = m_script->polls;
    protocol.WaitForOk();  // balances a line sent without waiting, as the outlining job does
    EXPECT_EQ(m_script->polls, polls);
    EXPECT_TRUE(protocol.replyBuffer().isEmpty());
}

TEST_F(MoveProtocolTest, EngravingDropsWhatItReadButNotWhatIsStillUnread) {
    m_script->arrivals = {"OK\r\nOK\r\n", QByteArray(), QByteArray(), kOk};
    MoveProtocol protocol = window(MoveRules::Engraving);
    protocol.MovePixels(1, 0, 9, true);
    EXPECT_EQ(m_host.eventRounds, 0);
    protocol.MovePixels(1, 0, 9, true);
    EXPECT_EQ(m_host.eventRounds, 1);  // the second "OK" of the burst did not answer this line
    EXPECT_TRUE(m_script->arrivals.isEmpty());
    m_script->arrivals = {kOk};  // arrived after the last wait had ended
    protocol.MovePixels(1, 0, 9, true);
    EXPECT_EQ(m_host.eventRounds, 1);
    for (const int pause : m_host.sleeps) EXPECT_EQ(pause, 2);
}

TEST_F(MoveProtocolTest, ScannerEmptiesWhatWasLeftBeforeItWaits) {
    m_script->arrivals = {"OK\r\nOK\r\n", QByteArray(), QByteArray(), kOk};
    MoveProtocol protocol(MoveRules::Scanner, m_host, m_link, testProgram().settings.values());
    protocol.sendLine(-4000, 0, 0, true);
    protocol.sendLine(0, 5000, 0, true);
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"-4000,0,0;", "0,5000,0;"}));
    EXPECT_EQ(m_host.eventRounds, 1);
    EXPECT_TRUE(m_script->arrivals.isEmpty());
    for (const int pause : m_host.sleeps) EXPECT_EQ(pause, 1);
}

// The probe's reply forms, split across polls as a slow line delivers them: the digits before
// "OK" are the sample, nothing of them is lost to the wait, and the next move waits for its own
// "OK".
TEST_F(MoveProtocolTest, ProbeReplyKeepsTheSampleDigitsUntilOk) {
    const struct {
        QList<QByteArray> arrivals;
        qint32 sample;
    } cases[] = {
        {{"123\r\nOK\r\n"}, 123},
        {{"12", QByteArray(), "3O", "K"}, 123},
        {{"\r\n123\r\n", "OK"}, 123},
        {{"OK\r\n"}, 0},
        {{"12 34OK"}, 1234},
        {{"-7\r\nOK"}, 7},
        {{"99999999999999\r\nOK\r\n"}, std::numeric_limits<qint32>::max()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arrivals.join('|').toStdString());
        m_script->written.clear();
        m_script->arrivals = c.arrivals;
        MoveProtocol protocol(MoveRules::Scanner, m_host, m_link, testProgram().settings.values());
        protocol.sendProbeRequest();
        EXPECT_EQ(protocol.readProbeReply(), c.sample);
        EXPECT_TRUE(m_script->arrivals.isEmpty());
        m_script->arrivals = {QByteArray(), kOk};
        const int rounds = m_host.eventRounds;
        protocol.sendLine(-4000, 0, 0, true);
        EXPECT_EQ(m_host.eventRounds, rounds + 1);  // it waited for the move's own answer
        EXPECT_EQ(m_script->written, (QList<QByteArray>{"0,0,100;", "-4000,0,0;"}));
        EXPECT_EQ(m_link.position().z, 0);  // the sample request does not move the machine
    }
}

TEST_F(MoveProtocolTest, JunkBeforeOkIsConsumedWithIt) {
    // Left behind, "busy" + "OK" would answer the next line before the machine has.
    for (const MoveRules kind : {MoveRules::Milling, MoveRules::Outlining}) {
        SCOPED_TRACE(int(kind));
        m_host.eventRounds = 0;
        m_script->arrivals = {"busy\r\nOK\r\n", QByteArray(), QByteArray(), kOk};
        MoveProtocol protocol = window(kind);
        protocol.MovePixels(1, 0, 0, true);
        EXPECT_TRUE(protocol.replyBuffer().isEmpty());
        protocol.MovePixels(1, 0, 0, true);
        EXPECT_EQ(m_host.eventRounds, 1);
    }
}

// Each wait takes exactly one "OK", with whatever came before it, however the answers are cut
// into polls: checked over many generated cuttings.
TEST_F(MoveProtocolTest, RepliesSplitAcrossPollsAreCountedExactly) {
    const QByteArray stream = "OK\r\nbusy\r\nOK\r\nOK\r\n\r\nxOKy\r\nOK\r\n";
    const int answers = int(stream.count("OK"));
    for (const MoveRules kind : {MoveRules::Milling, MoveRules::Outlining}) {
        for (int seed = 1; seed <= 40; ++seed) {
            SCOPED_TRACE(testing::Message() << "window " << int(kind) << " seed " << seed);
            // Chunks of 0..4 bytes in an order fixed by the seed; empty polls included.
            m_script->arrivals.clear();
            m_script->delivered.clear();
            unsigned state = unsigned(seed) * 2654435761u;
            for (qsizetype at = 0; at < stream.size();) {
                state = state * 1103515245u + 12345u;
                const qsizetype size = qMin<qsizetype>((state >> 16) % 5, stream.size() - at);
                m_script->arrivals.append(stream.mid(at, size));
                at += size;
            }
            MoveProtocol protocol = window(kind);
            for (int wait = 1; wait <= answers; ++wait) {
                protocol.MovePixels(1, 0, 0, true);
                // Every "OK" that came is either taken by a wait or kept for a later one.
                EXPECT_EQ(m_script->delivered.count("OK"),
                          wait + protocol.replyBuffer().count("OK"));
            }
        }
    }
}

TEST_F(MoveProtocolTest, AbandonEndsTheWaitAtOnceAndNothingIsSentAfter) {
    m_host.onEvents = [](FakeJobHost& host) {
        if (host.eventRounds == 5) host.stop = StopLevel::Abandon;
    };
    MoveProtocol protocol = window(MoveRules::Milling);
    EXPECT_EQ(endOf([&] { protocol.MovePixels(1, 1, 0, true); }).reason(),
              JobEnded::Reason::Abandoned);
    EXPECT_EQ(m_host.eventRounds, 5);
    // Not even the moves that would leave the machine safe.
    EXPECT_THROW(protocol.MovePixels(0, 0, -1, false), JobEnded);
    EXPECT_EQ(m_script->written.size(), 1);
}

// A time limit run out counts as a lost link: the message says what may still be on, and the
// port is closed.
TEST_F(MoveProtocolTest, TimeLimitEndsASilentWaitButTakesAnAnswerJustInTime) {
    m_host.timeoutMs = 1000;
    for (const MoveRules kind : {MoveRules::Milling, MoveRules::Engraving, MoveRules::Scanner}) {
        SCOPED_TRACE(int(kind));
        m_link.adopt(testProgram().driver.attach(std::make_unique<ScriptedTransport>(m_script)));
        const std::int64_t started = m_host.now;
        MoveProtocol protocol = window(kind);
        const JobEnded ended = endOf([&] { protocol.sendLine(1, 2, 3, true); });
        EXPECT_EQ(ended.reason(), JobEnded::Reason::TimedOut);
        EXPECT_TRUE(ended.message().contains(QStringLiteral("1 с"))) << qPrintable(ended.message());
        EXPECT_TRUE(ended.message().contains(QStringLiteral("лазер или шпиндель")));
        EXPECT_GE(m_host.now - started, 1000);
        EXPECT_LE(m_host.now - started, 1002);
        EXPECT_FALSE(m_link.isOpen());
        EXPECT_TRUE(m_link.linkLost());
    }
    m_link.adopt(testProgram().driver.attach(std::make_unique<ScriptedTransport>(m_script)));
    m_host.now = 0;
    m_host.onEvents = [this](FakeJobHost& host) {
        if (host.now == 998) m_script->arrivals.append(kOk);
    };
    EXPECT_NO_THROW(window(MoveRules::Milling).MovePixels(1, 1, 0, true));
}

}  // namespace
