#include "link/MoveProtocol.h"

#include <gtest/gtest.h>

#include <limits>

#include "Fakes.h"
#include "app/ProgramSettings.h"
#include "link/ReplyWait.h"
#include "link/SerialPort.h"

namespace {

const QByteArray kOk = "OK\r\n";
constexpr int kScriptEndsMs = 60000;

// A window's protocol over a scripted port, with the ratios of a freshly installed program.
class MoveProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = ProgramSettings{};
        Settings().PortHandle = SerialAttach(std::make_unique<ScriptedTransport>(m_script));
        m_host.fields[JobField::FinishedWidth] = QStringLiteral("200");
        m_host.fields[JobField::Depth] = QStringLiteral("10");
        // A wait that outlives its script ends instead of hanging the test.
        m_host.timeoutMs = kScriptEndsMs;
    }
    void TearDown() override {
        SerialClose(Settings().PortHandle);
        Settings() = ProgramSettings{};
    }
    MoveProtocol window(MoveWindow kind, int pictureWidth = 400) {
        MoveProtocol protocol(kind, m_host);
        protocol.setPictureWidth(pictureWidth);
        return protocol;
    }

    std::shared_ptr<PortScript> m_script = std::make_shared<PortScript>();
    FakeJobHost m_host;
};

// ---- the move line ----------------------------------------------------------------------------

TEST(MoveLine, PlainDecimalWithoutBlanksOrLineEnd) {
    EXPECT_EQ(formatMoveLine(12, 0, -3), QByteArray("12,0,-3;"));
    EXPECT_EQ(formatMoveLine(0, 0, 0), QByteArray("0,0,0;"));
    EXPECT_EQ(
        formatMoveLine(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), -1),
        QByteArray("-2147483648,2147483647,-1;"));
}

// ---- millimetres to steps ---------------------------------------------------------------------

struct ManualCase {
    double millimetres;
    double ratio;
    qint32 steps;
};

void PrintTo(const ManualCase& c, std::ostream* out) {
    *out << c.millimetres << " mm at " << c.ratio << " mm/step";
}

class ManualMoveSteps : public MoveProtocolTest,
                        public ::testing::WithParamInterface<ManualCase> {};

TEST_P(ManualMoveSteps, RoundsToWholeStepsHalvesToEvenOnEveryAxis) {
    const ManualCase c = GetParam();
    Settings().StepRatioX = Settings().StepRatioY = Settings().StepRatioZ = c.ratio;
    m_script->perLine = {kOk};
    MoveProtocol protocol = window(MoveWindow::Milling);
    protocol.ArduinoMoveMM(c.millimetres, 0, 0);
    protocol.ArduinoMoveMM(0, c.millimetres, 0);
    protocol.ArduinoMoveMM(0, 0, c.millimetres);
    const QByteArray s = QByteArray::number(c.steps);
    EXPECT_EQ(m_script->written,
              (QList<QByteArray>{s + ",0,0;", "0," + s + ",0;", "0,0," + s + ";"}));
    EXPECT_TRUE(m_script->arrivals.isEmpty());  // each move took its own answer
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ManualMoveSteps,
    ::testing::Values(ManualCase{0.0025, 0.005, 0}, ManualCase{0.0075, 0.005, 2},
                      ManualCase{-1, 0.005, -200}, ManualCase{0.0125, 0.005, 2},
                      ManualCase{-0.0075, 0.005, -2}, ManualCase{1, -0.005, -200},
                      ManualCase{10.7, 0.01, 1070}));

TEST_F(MoveProtocolTest, ManualMoveIsSentAndAwaitedWithTheOutputBoxClear) {
    // Its "OK" must not be left for the next job's first wait, or the job runs a line ahead.
    m_host.output = false;
    m_script->arrivals = {QByteArray(), kOk};
    MoveProtocol protocol = window(MoveWindow::Milling);
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
    SerialClose(Settings().PortHandle);
    Settings().PortHandle = kPortCannotOpen;
    MoveProtocol protocol = window(MoveWindow::Milling);
    EXPECT_NO_THROW(protocol.ArduinoMoveMM(1, 1, 1));
    EXPECT_EQ(protocol.linesSent(), 0);
}

// ---- pixels to steps --------------------------------------------------------------------------

TEST_F(MoveProtocolTest, MillingWorkedExampleSendsAndWaits) {
    m_script->arrivals = {QByteArray(), "O", QByteArray(), "K\r\n"};
    MoveProtocol protocol = window(MoveWindow::Milling);
    protocol.MovePixels(3, -1, 0, true);
    EXPECT_EQ(m_script->written, QList<QByteArray>{"300,-100,0;"});
    EXPECT_EQ(m_host.eventRounds, 2);
    EXPECT_TRUE(m_script->arrivals.isEmpty());
    EXPECT_EQ(protocol.linesSent(), 1);
}

TEST_F(MoveProtocolTest, ThirdFieldIsScaledOnlyByTheMillingWindow) {
    // Depth 10 mm / 0.005 / 255 = 7.84 steps per grey level, rounded to 8.
    m_script->perLine = {kOk};
    for (const MoveWindow kind :
         {MoveWindow::Milling, MoveWindow::Engraving, MoveWindow::Outlining}) {
        MoveProtocol protocol = window(kind);
        protocol.MovePixels(1, 2, -255, true);
    }
    EXPECT_EQ(m_script->written,
              (QList<QByteArray>{"100,200,-2040;", "100,200,-255;", "100,200,-255;"}));
}

TEST_F(MoveProtocolTest, FactorsAreReadAnewAtEveryCall) {
    MoveProtocol protocol = window(MoveWindow::Engraving);
    protocol.MovePixels(1, 1, 5, false);
    m_host.fields[JobField::FinishedWidth] = QStringLiteral("100,5");  // typed during the job
    protocol.MovePixels(1, 1, 5, false);
    Settings().StepRatioY = 0.01;
    protocol.MovePixels(1, 1, 5, false);
    protocol.setPictureWidth(201);
    protocol.MovePixels(1, 1, 5, false);
    // 100.5 / 0.005 / 400 = 50.25; / 0.01 / 400 = 25.125; / 0.005 / 201 = 100; / 0.01 / 201 = 50.
    EXPECT_EQ(m_script->written,
              (QList<QByteArray>{"100,100,5;", "50,50,5;", "50,25,5;", "100,50,5;"}));
}

TEST_F(MoveProtocolTest, OutputBoxClearMakesADryRun) {
    m_host.output = false;
    MoveProtocol protocol = window(MoveWindow::Outlining);
    protocol.MovePixels(3, 4, 1, true);
    protocol.WaitForOk();
    EXPECT_TRUE(m_script->written.isEmpty());
    EXPECT_EQ(m_script->polls, 0);
}

// ---- refusals ---------------------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    std::function<void(ProgramSettings&, FakeJobHost&)> arrange;
    std::function<void(MoveProtocol&)> act;
    const char* mentions;  // a word the message must hold
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class Refusals : public MoveProtocolTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, SendNothingAndSayWhy) {
    const RefusalCase& c = GetParam();
    m_script->perLine = {kOk};
    c.arrange(Settings(), m_host);
    MoveProtocol protocol = window(MoveWindow::Milling);
    try {
        c.act(protocol);
        FAIL() << "not refused";
    } catch (const JobEnded& ended) {
        EXPECT_EQ(ended.reason(), JobEnded::Reason::Refused);
        EXPECT_EQ(ended.title(), QStringLiteral("Ошибка"));
        EXPECT_TRUE(ended.message().contains(QString::fromUtf8(c.mentions)))
            << qPrintable(ended.message());
    }
    EXPECT_TRUE(m_script->written.isEmpty());
}

void noChange(ProgramSettings&, FakeJobHost&) {}

INSTANTIATE_TEST_SUITE_P(
    MoveProtocol, Refusals,
    ::testing::Values(
        RefusalCase{"ManualZeroRatio", [](ProgramSettings& s, FakeJobHost&) { s.StepRatioY = 0; },
                    [](MoveProtocol& p) { p.ArduinoMoveMM(0, 1, 0); }, "Y"},
        RefusalCase{"ManualNanRatio",
                    [](ProgramSettings& s, FakeJobHost&) {
                        s.StepRatioZ = std::numeric_limits<double>::quiet_NaN();
                    },
                    [](MoveProtocol& p) { p.ArduinoMoveMM(0, 0, -1); }, "Z"},
        RefusalCase{"ManualTooFar", noChange, [](MoveProtocol& p) { p.ArduinoMoveMM(1e10, 0, 0); },
                    "X"},
        RefusalCase{"ManualTooFarOnLastAxisOnly", noChange,
                    [](MoveProtocol& p) { p.ArduinoMoveMM(1, 1, -10737418.25); }, "Z"},
        RefusalCase{"PixelsZeroRatio", [](ProgramSettings& s, FakeJobHost&) { s.StepRatioX = 0; },
                    [](MoveProtocol& p) { p.MovePixels(0, 1, 0, true); }, "X"},
        RefusalCase{"PixelsZeroDepthRatio",
                    [](ProgramSettings& s, FakeJobHost&) { s.StepRatioZ = 0; },
                    [](MoveProtocol& p) { p.MovePixels(1, 1, 0, true); }, "Z"},
        RefusalCase{"WidthNotANumber",
                    [](ProgramSettings&, FakeJobHost& h) {
                        h.fields[JobField::FinishedWidth] = QStringLiteral("200 мм");
                    },
                    [](MoveProtocol& p) { p.MovePixels(1, 1, 0, true); }, "Ширина"},
        RefusalCase{
            "WidthEmpty",
            [](ProgramSettings&, FakeJobHost& h) { h.fields[JobField::FinishedWidth] = QString(); },
            [](MoveProtocol& p) { p.MovePixels(1, 1, 0, true); }, "Ширина"},
        RefusalCase{"DepthNotANumber",
                    [](ProgramSettings&, FakeJobHost& h) {
                        h.fields[JobField::Depth] = QStringLiteral("1,2,3");
                    },
                    [](MoveProtocol& p) { p.MovePixels(1, 1, 0, true); }, "Глубина"},
        RefusalCase{"NoPicture", noChange,
                    [](MoveProtocol& p) {
                        p.setPictureWidth(0);
                        p.MovePixels(1, 1, 0, true);
                    },
                    "Картинка"},
        RefusalCase{"FactorTooLarge",
                    [](ProgramSettings&, FakeJobHost& h) {
                        h.fields[JobField::FinishedWidth] = QStringLiteral("1e12");
                    },
                    [](MoveProtocol& p) { p.MovePixels(0, 0, 0, true); }, "X"},
        RefusalCase{"ProductTooLarge",
                    [](ProgramSettings&, FakeJobHost& h) {
                        h.fields[JobField::FinishedWidth] = QStringLiteral("1000000");
                    },
                    [](MoveProtocol& p) { p.MovePixels(1, -5000, 0, true); }, "Y"},
        RefusalCase{"RawValueTooLarge", noChange,
                    [](MoveProtocol& p) {
                        p.sendLine(-qint64(std::numeric_limits<qint32>::min()), 0, 0, true);
                    },
                    "X"},
        RefusalCase{"TickedWithoutAPort",
                    [](ProgramSettings& s, FakeJobHost&) { s.PortHandle = kPortSettingsRefused; },
                    [](MoveProtocol& p) { p.MovePixels(1, 1, 0, true); }, "Com-порт"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(MoveProtocolTest, AnAxisWithAZeroRatioMayStandStill) {
    Settings().StepRatioZ = 0;
    m_script->perLine = {kOk};
    window(MoveWindow::Milling).ArduinoMoveMM(1, -1, 0);
    EXPECT_EQ(m_script->written, QList<QByteArray>{"200,-200,0;"});
}

// ---- the reply rules --------------------------------------------------------------------------

TEST_F(MoveProtocolTest, BurstLeavesTheSecondOkForTheNextMillingWait) {
    m_script->arrivals = {"OK\r\nOK\r\n"};
    MoveProtocol protocol = window(MoveWindow::Milling);
    protocol.MovePixels(1, 0, 0, true);
    EXPECT_EQ(protocol.replyBuffer(), QByteArray("OK"));
    const int polls = m_script->polls;
    protocol.WaitForOk();  // balances a line sent without waiting, as the outlining job does
    EXPECT_EQ(m_script->polls, polls);
    EXPECT_TRUE(protocol.replyBuffer().isEmpty());
}

TEST_F(MoveProtocolTest, EngravingDropsWhatItReadAndWaitsAfresh) {
    m_script->arrivals = {"OK\r\nOK\r\n", QByteArray(), QByteArray(), kOk};
    MoveProtocol protocol = window(MoveWindow::Engraving);
    protocol.MovePixels(1, 0, 9, true);
    EXPECT_EQ(m_host.eventRounds, 0);
    protocol.MovePixels(1, 0, 9, true);
    EXPECT_EQ(m_host.eventRounds, 1);  // the second "OK" of the burst did not answer this line
    EXPECT_TRUE(m_script->arrivals.isEmpty());
    for (const int pause : m_host.sleeps) EXPECT_EQ(pause, 2);
}

TEST_F(MoveProtocolTest, EngravingLeavesUnreadBytesForTheNextWait) {
    m_script->arrivals = {kOk};
    MoveProtocol protocol = window(MoveWindow::Engraving);
    protocol.MovePixels(1, 0, 9, true);
    m_script->arrivals = {kOk};  // arrived after the first wait had ended
    protocol.MovePixels(1, 0, 9, true);
    EXPECT_EQ(m_host.eventRounds, 0);
    EXPECT_TRUE(m_script->arrivals.isEmpty());
}

TEST_F(MoveProtocolTest, ScannerEmptiesWhatWasLeftBeforeItWaits) {
    m_script->arrivals = {"OK\r\nOK\r\n", QByteArray(), QByteArray(), kOk};
    MoveProtocol protocol(MoveWindow::Scanner, m_host);
    protocol.sendLine(-4000, 0, 0, true);
    protocol.sendLine(0, 5000, 0, true);
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"-4000,0,0;", "0,5000,0;"}));
    EXPECT_EQ(m_host.eventRounds, 1);
    EXPECT_TRUE(m_script->arrivals.isEmpty());
    for (const int pause : m_host.sleeps) EXPECT_EQ(pause, 1);
}

TEST_F(MoveProtocolTest, JunkBeforeOkIsConsumedWithIt) {
    // Left behind, "busy" + "OK" would answer the next line before the machine has.
    for (const MoveWindow kind : {MoveWindow::Milling, MoveWindow::Outlining}) {
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
    for (const MoveWindow kind : {MoveWindow::Milling, MoveWindow::Outlining}) {
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

// ---- ending a wait ----------------------------------------------------------------------------

TEST_F(MoveProtocolTest, AbandonEndsTheWaitAtOnce) {
    m_host.onEvents = [](FakeJobHost& host) {
        if (host.eventRounds == 5) host.stop = StopLevel::Abandon;
    };
    MoveProtocol protocol = window(MoveWindow::Milling);
    try {
        protocol.MovePixels(1, 1, 0, true);
        FAIL() << "the wait did not end";
    } catch (const JobEnded& ended) {
        EXPECT_EQ(ended.reason(), JobEnded::Reason::Abandoned);
    }
    EXPECT_EQ(m_host.eventRounds, 5);
    // An abandoned job sends nothing more, not even the moves that would leave it safe.
    EXPECT_THROW(protocol.MovePixels(0, 0, -1, false), JobEnded);
    EXPECT_EQ(m_script->written.size(), 1);
}

TEST_F(MoveProtocolTest, StopStillWaitsForTheLineInFlight) {
    m_host.onEvents = [this](FakeJobHost& host) {
        if (host.eventRounds == 3) host.stop = StopLevel::Stop;
        if (host.now == 1500) m_script->arrivals.append(kOk);
    };
    MoveProtocol protocol = window(MoveWindow::Milling);
    EXPECT_NO_THROW(protocol.MovePixels(1, 1, 0, true));
    // The job may still send the lines that leave the machine safe.
    m_script->perLine = {kOk};
    EXPECT_NO_THROW(protocol.MovePixels(0, 0, -10, true));
    EXPECT_EQ(m_script->written.size(), 2);
}

TEST_F(MoveProtocolTest, AfterStopASilentControllerAbandonsTheJob) {
    m_host.now = 10000;
    m_host.onEvents = [](FakeJobHost& host) {
        if (host.eventRounds == 100) host.stop = StopLevel::Stop;
    };
    MoveProtocol protocol = window(MoveWindow::Outlining);
    try {
        protocol.MovePixels(1, 1, 0, true);
        FAIL() << "the wait did not end";
    } catch (const JobEnded& ended) {
        EXPECT_EQ(ended.reason(), JobEnded::Reason::Abandoned);
        EXPECT_TRUE(ended.message().contains(QStringLiteral("не ответил")));
    }
    const std::int64_t waited = m_host.now - 10000;
    EXPECT_GE(waited, 100 + kStopReplyTimeoutMs - 1);
    EXPECT_LE(waited, 100 + kStopReplyTimeoutMs + 2);
}

TEST_F(MoveProtocolTest, TimeLimitEndsASilentWait) {
    m_host.timeoutMs = 1000;
    for (const MoveWindow kind :
         {MoveWindow::Milling, MoveWindow::Engraving, MoveWindow::Scanner}) {
        SCOPED_TRACE(int(kind));
        const std::int64_t started = m_host.now;
        MoveProtocol protocol = window(kind);
        try {
            protocol.sendLine(1, 2, 3, true);
            FAIL() << "the wait did not end";
        } catch (const JobEnded& ended) {
            EXPECT_EQ(ended.reason(), JobEnded::Reason::TimedOut);
            EXPECT_TRUE(ended.message().contains(QStringLiteral("1 с")))
                << qPrintable(ended.message());
        }
        EXPECT_GE(m_host.now - started, 1000);
        EXPECT_LE(m_host.now - started, 1002);
    }
}

TEST_F(MoveProtocolTest, AnAnswerJustInTimeIsTaken) {
    m_host.timeoutMs = 1000;
    m_host.onEvents = [this](FakeJobHost& host) {
        if (host.now == 998) m_script->arrivals.append(kOk);
    };
    EXPECT_NO_THROW(window(MoveWindow::Milling).MovePixels(1, 1, 0, true));
}

}  // namespace
