#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <utility>

#include "app/config/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "link/gcode/GcodeTranslator.h"
#include "link/gcode/GrblTransport.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/serial/SerialDriver.h"
#include "link/virtual/VirtualController.h"
#include "link/virtual/VirtualGrbl.h"
#include "mill/MillJobs.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

const StepRatios kRatios{0.005, -0.005, 0.01};

QStringList texts(const QList<QByteArray>& lines) {
    QStringList out;
    for (const QByteArray& line : lines) out << QString::fromLatin1(line);
    return out;
}

// Translates move lines of one window and ends the job; returns all G-code in order.
QStringList translated(MoveRules window, const QList<std::array<qint32, 3>>& moves,
                       const GcodeSettings& settings = GcodeSettings{}) {
    GcodeTranslator translator{settings};
    QList<QByteArray> lines;
    for (const auto& [x, y, z] : moves) {
        const GcodeStep step = translator.translate({window, false}, kRatios, x, y, z);
        lines += step.lines;
        if (step.probe) lines.append("probe");
    }
    lines += translator.finish();
    return texts(lines);
}

// A border 3 mm deep that does not close on itself, in passes of 1 mm: each pass goes back to
// the start over the safe height; the travels rise to it and the plunges come down from it.
TEST(GcodeTranslator, MillingTravelsOverTheSafeHeightAndCutsADeepBorderInPasses) {
    EXPECT_EQ(
        translated(
            MoveRules::Milling,
            {{200, 100, 0}, {0, 0, -300}, {10, 0, 0}, {10, 10, 50}, {0, 0, 250}, {-20, 0, 0}}),
        QStringList(
            {"G0 Z5", "G0 X1 Y-0.5", "G0 Z-5", "G1 Z-1 F200", "G1 X0.05 F600", "G1 X0.05 Y-0.05",
             // the second pass, 2 mm deep
             "G0 Z6", "G0 X-0.1 Y0.05", "G0 Z-5", "G1 Z-2 F200", "G1 X0.05 F600", "G1 X0.05 Y-0.05",
             // the last at the border's own depths
             "G0 Z7", "G0 X-0.1 Y0.05", "G0 Z-5", "G1 Z-3 F200", "G1 X0.05 F600",
             "G1 X0.05 Y-0.05 Z0.5",
             // the job's rise and the next travel's, one line; down at the job's end
             "G0 Z7.5", "G0 X-0.1", "G0 Z-5"}));
}

// Over a probed surface rising 0.2 mm per mm of X, a closed square border 2.5 mm deep in passes
// of 1 mm: every cut of every pass stays at its pass's depth below the surface, and the travel
// to the next border goes over the safe height above the surface.
TEST(GcodeTranslator, MillingPassesFollowTheProbedSurface) {
    GcodeTranslator translator{GcodeSettings{}};
    const auto surfaceAt = [](double x) { return 0.2 * x; };
    QList<QByteArray> lines;
    double x = 0;
    const auto line = [&](qint32 dx, qint32 dy, qint32 dz) {
        const double change = surfaceAt(x + dx * kRatios.x) - surfaceAt(x);
        x += dx * kRatios.x;
        lines +=
            translator.translate({MoveRules::Milling, false, change}, kRatios, dx, dy, dz).lines;
    };
    line(0, 0, -250);
    for (const auto& [dx, dy] : {std::pair{20, 0}, {20, 0}, {0, 20}, {-20, 0}, {-20, 0}, {0, -20}})
        line(dx, dy, 0);
    line(0, 0, 250);
    line(200, 0, 0);
    lines += translator.finish();

    double px = 0, pz = 0;
    QList<double> depths;
    for (const QByteArray& text : lines) {
        const double startX = px, startZ = pz;
        bool alongXY = false;
        for (const QByteArray& word : text.split(' ')) {
            if (word.startsWith('X')) px += word.mid(1).toDouble();
            if (word.startsWith('Z')) pz += word.mid(1).toDouble();
            alongXY |= word.startsWith('X') || word.startsWith('Y');
        }
        if (alongXY && text.startsWith("G1"))
            depths.append(std::round((pz - surfaceAt(px)) * 1000) / 1000);
        if (alongXY && text.startsWith("G0")) {
            EXPECT_NEAR(startZ - surfaceAt(startX), 5, 1e-9) << text.toStdString();
            EXPECT_NEAR(pz - surfaceAt(px), 5, 1e-9) << text.toStdString();
        }
    }
    EXPECT_EQ(depths.count(-1.0) + depths.count(-2.0) + depths.count(-2.5), depths.size())
        << texts(lines).join(" | ").toStdString();
    EXPECT_GE(depths.count(-1.0), 4);
    EXPECT_GE(depths.count(-2.5), 4);
    EXPECT_NEAR(pz - surfaceAt(px), 0, 1e-9) << "the job ends on the surface";
}

// A closed border goes straight down from one pass to the next; straight runs of steps are one
// line each.
TEST(GcodeTranslator, AClosedBorderGoesStraightDownBetweenPasses) {
    GcodeSettings settings;
    settings.SafeHeight = 2;
    settings.PassDepth = 1.2;
    const QStringList square = {"G1 X0.1 F600", "G1 Y-0.1", "G1 X-0.1", "G1 Y0.1"};
    QStringList expected = QStringList{"G1 Z-1.2 F200"} + square;
    expected += QStringList{"G1 Z-1.2 F200"} + square;
    expected += QStringList{"G1 Z-0.1 F200"} + square;
    expected += QStringList{"G0 Z4.5", "G0 X1", "G0 Z-2"};
    EXPECT_EQ(translated(MoveRules::Milling,
                         {{0, 0, -250},
                          {10, 0, 0},
                          {10, 0, 0},
                          {0, 20, 0},
                          {-20, 0, 0},
                          {0, -10, 0},
                          {0, -10, 0},
                          {0, 0, 250},
                          {200, 0, 0}},
                         settings),
              expected);
}

TEST(GcodeTranslator, OutliningSwitchesTheLaserAroundEachBorder) {
    GcodeSettings settings;
    settings.OutlinePower = 499.6;
    EXPECT_EQ(translated(MoveRules::Outlining,
                         {{400, 0, 0},
                          {0, 0, 1},
                          {2, 0, 0},
                          {2, 0, 0},
                          {0, 2, 0},
                          {0, 0, -1},
                          {-4, 0, 0},
                          {-4, 0, 0}},
                         settings),
              QStringList({"G0 X2", "M4 S500", "G1 X0.02 F1500", "G1 Y-0.01", "M5", "G0 X-0.04"}));
}

// Pitch 100 steps = 0.5 mm. Row 1 walked rightwards: (1,1) dark 255, (2,1) 51; row 2 leftwards:
// (2,2) 102, (1,2) 1, a gap of two pixels, then two pixels of 1. Each pixel is burnt on the way
// into it in the row's direction, the row's first one from one pixel before it.
TEST(GcodeTranslator, EngravingBurnsEveryRowInTheDirectionItIsWalked) {
    EXPECT_EQ(
        translated(MoveRules::Engraving, {{0, 0, -100},
                                          {0, 0, 255},
                                          {100, 0, 51},
                                          {0, 100, 102},
                                          {-100, 0, 1},
                                          {-300, 0, 1},
                                          {-100, 0, 1}}),
        QStringList({"M4 S0", "G0 X-0.5", "G1 X0.5 S1000 F1500", "G1 X0.5 S200", "G0 X0.5 Y-0.5 S0",
                     "G1 X-0.5 S400", "G1 X-0.5 S4", "G1 X-1 S0", "G1 X-1 S4", "M5"}));
    // A row of one pixel goes against the row before it.
    EXPECT_EQ(
        translated(MoveRules::Engraving, {{0, 0, -100}, {100, 0, 255}, {0, 100, 255}}),
        QStringList({"M4 S0", "G1 X0.5 S1000 F1500", "G0 X0.5 Y-0.5 S0", "G1 X-0.5 S1000", "M5"}));
}

TEST(GcodeTranslator, ScannerSampleRequestIsAProbeAndOtherLinesAreTravels) {
    EXPECT_EQ(translated(MoveRules::Scanner,
                         {{0, 0, 100}, {-4000, 0, 0}, {0, 5000, 0}, {0, 5000, 0}, {0, 0, 100}}),
              QStringList({"probe", "G0 X-20", "G0 Y-50", "probe"}));
    GcodeTranslator translator{GcodeSettings{}};
    EXPECT_EQ(translator.probingMove(), "G38.2 Z-10 F100");
    EXPECT_EQ(translator.sampleForDepth(0), 255);
    EXPECT_EQ(translator.sampleForDepth(5), 0);
    EXPECT_EQ(translator.sampleForDepth(2.5), 128) << "127.5 rounds to even";
    EXPECT_EQ(translator.sampleForDepth(9), 0);
    EXPECT_EQ(translator.sampleForDepth(-1), 255);
}

// Many short moves add up to where the steps lead, not to the sum of rounded numbers.
TEST(GcodeTranslator, RoundingNeverAddsUp) {
    GcodeTranslator translator{GcodeSettings{}};
    const StepRatios ratios{0.0012345, 0.0012345, 0.0012345};
    double written = 0;
    for (int i = 0; i < 1000; ++i) {
        const int x = i % 2 == 0 ? 1 : 2;
        for (const QByteArray& line :
             translator.translate({MoveRules::Scanner, false}, ratios, x, i % 2, 0).lines)
            written += line.mid(line.indexOf('X') + 1).split(' ').first().toDouble();
    }
    for (const QByteArray& line : translator.finish())
        written += line.mid(line.indexOf('X') + 1).split(' ').first().toDouble();
    EXPECT_NEAR(written, 1500 * 0.0012345, 1e-6);
}

TEST(GcodeTranslator, SafeEndingRaisesACutterInTheMaterialAndSwitchesTheLaserOff) {
    GcodeTranslator translator{GcodeSettings{}};
    translator.translate({MoveRules::Milling, false}, kRatios, 0, 0, -300);
    translator.translate({MoveRules::Milling, false}, kRatios, 10, 0, 100);
    EXPECT_EQ(texts(translator.safeEnding()), QStringList({"G1 X0.05 F600", "G0 Z1"}))
        << "what was held, then up from the first pass";
    EXPECT_TRUE(translator.safeEnding().isEmpty()) << "nothing more once safe";
    translator.translate({MoveRules::Outlining, false}, kRatios, 0, 0, 1);
    EXPECT_EQ(texts(translator.safeEnding()), QStringList({"M5"}));
}

// The controller's side of a grbl: port inside the test: every poll lets `msPerPoll` of the
// virtual GRBL's time pass, so lines queue up in its receive buffer as on a real machine.
class VirtualGrblLine final : public SerialTransport {
public:
    // `greets`: the board restarts when the port opens and sends its banner.
    explicit VirtualGrblLine(VirtualGrbl& grbl, double msPerPoll = 20, bool greets = true)
        : m_grbl(grbl), m_msPerPoll(msPerPoll), m_out(greets ? VirtualGrbl::banner() : "") {}
    qint64 write(const QByteArray& bytes) override {
        m_out += m_grbl.receive(bytes);
        return bytes.size();
    }
    void readAvailable(QByteArray& into) override {
        m_out += m_grbl.advance(m_msPerPoll);
        into += m_out;
        m_out.clear();
    }

private:
    VirtualGrbl& m_grbl;
    double m_msPerPoll;
    QByteArray m_out;
};

// A virtual GRBL in laser mode ($32=1), which the laser jobs need.
VirtualGrbl laserGrbl() {
    VirtualGrbl grbl{kRatios, GcodeSettings{}.HeightRange};
    grbl.setLaserMode(true);
    return grbl;
}

// One job run twice with the same lines: on our virtual controller and on the virtual GRBL
// through the grbl: port.
class GcodePathTest : public ::testing::Test {
protected:
    void SetUp() override {
        testProgram().settings.values().StepRatioX = kRatios.x;
        testProgram().settings.values().StepRatioY = kRatios.y;
        testProgram().settings.values().StepRatioZ = kRatios.z;
        host.fields[JobField::FinishedWidth] = "40";
        host.fields[JobField::Depth] = "5";
        host.fields[JobField::Diameter] = "1";
    }
    void TearDown() override { testProgram().settings.values() = ProgramSettings(); }

    using Job = std::function<void(MoveProtocol&)>;

    // Runs `job` on "sim:probe"; returns the controller's path in millimetres and the samples.
    QList<Millimetres> onSim(MoveRules window, const Job& job) {
        link.open(QStringLiteral("sim:probe"));
        MoveProtocol protocol(window, host, link, testProgram().settings.values());
        job(protocol);
        samplesSim = std::exchange(recordedSamples, {});
        QList<Millimetres> path;
        for (const MachinePosition& at :
             VirtualControllerOf(testProgram().driver, link.PortHandle())->path())
            path.append({at.x * kRatios.x, at.y * kRatios.y, at.z * kRatios.z});
        link.close();
        return path;
    }

    QList<Millimetres> onGrbl(MoveRules window, const Job& job) {
        auto port = std::make_unique<GrblTransport>(testProgram().settings.values(),
                                                    GrblTransport::Flow::CharacterCounting,
                                                    std::make_unique<VirtualGrblLine>(grbl));
        EXPECT_EQ(port->open(QString()), 0);
        GrblTransport* transport = port.get();
        link.adopt(testProgram().driver.attach(std::move(port)));
        MoveProtocol protocol(window, host, link, testProgram().settings.values());
        job(protocol);
        testProgram().driver.endJob(link.PortHandle());
        // The job ends when GRBL has run everything it accepted.
        while (!testProgram().driver.finishJob(link.PortHandle())) {
        }
        samplesGrbl = std::exchange(recordedSamples, {});
        mostInFlight = transport->mostBytesInFlight();
        link.close();
        return grbl.path();
    }

    // Every position of `ours` lies on the path through `theirs`, in the same order (the G-code
    // may join moves that go on the same way, go through more points: a pixel's burn, a probe's
    // dip, a travel over the safe height, and mill a border more than once), and both end at
    // the same point. Heights are compared only `withZ`, the end's also `endZ`.
    static void expectSamePath(const QList<Millimetres>& ours, const QList<Millimetres>& theirs,
                               bool withZ, bool endZ) {
        const auto onSegment = [&](const Millimetres& p, const Millimetres& a,
                                   const Millimetres& b) {
            const double w = withZ ? 1 : 0;
            const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
            const double length2 = dx * dx + dy * dy + w * dz * dz;
            const double along = (p.x - a.x) * dx + (p.y - a.y) * dy + w * (p.z - a.z) * dz;
            const double t = length2 > 0 ? std::clamp(along / length2, 0.0, 1.0) : 0;
            const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y,
                         ez = w * (a.z + t * dz - p.z);
            return ex * ex + ey * ey + ez * ez < 1e-12;
        };
        ASSERT_FALSE(ours.isEmpty());
        ASSERT_FALSE(theirs.isEmpty());
        QList<Millimetres> path{Millimetres{}};
        path += theirs;
        qsizetype next = 0;
        for (qsizetype i = 0; i < ours.size(); ++i) {
            while (next + 1 < path.size() && !onSegment(ours[i], path[next], path[next + 1]))
                ++next;
            ASSERT_LT(next + 1, path.size())
                << "point " << i << " of " << ours.size() << " (" << ours[i].x << ", " << ours[i].y
                << ", " << ours[i].z << ") is not on the GRBL path in order";
        }
        const Millimetres& a = ours.back();
        const Millimetres& b = theirs.back();
        EXPECT_NEAR(a.x, b.x, 1e-6) << "both end at the same point";
        EXPECT_NEAR(a.y, b.y, 1e-6);
        if (endZ) {
            EXPECT_NEAR(a.z, b.z, 1e-6);
        }
    }

    void runBoth(MoveRules window, const Job& job, bool withZ) {
        const QList<Millimetres> ours = onSim(window, job);
        const QList<Millimetres> theirs = onGrbl(window, job);
        expectSamePath(ours, theirs, withZ, withZ || window == MoveRules::Milling);
        EXPECT_EQ(samplesSim, samplesGrbl);
        EXPECT_GT(mostInFlight, 0);
        EXPECT_LE(mostInFlight, kGrblReceiveBuffer);
        EXPECT_LE(grbl.mostBuffered(), kGrblReceiveBuffer);
        EXPECT_FALSE(grbl.overflowed());
    }

    // The scanner's sample read as its window reads it: digits before "OK".
    int readSample() {
        QByteArray text;
        while (!text.contains("OK")) {
            for (int byte = testProgram().driver.SerialReadByte(link.PortHandle()); byte >= 0;
                 byte = testProgram().driver.SerialReadByte(link.PortHandle()))
                text.append(char(byte));
        }
        int value = 0;
        for (const char c : text.left(text.indexOf("OK")))
            if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
        recordedSamples.append(value);
        return value;
    }

    FakeJobHost host;
    MachineLink link{testProgram().portKinds, testProgram().settings.values()};
    VirtualGrbl grbl = laserGrbl();
    QList<int> samplesSim, samplesGrbl, recordedSamples;
    int mostInFlight = 0;
};

TEST_F(GcodePathTest, MillingAllFiguresOfAPictureEndsOnTheSamePath) {
    PixelBuffer picture = PixelBuffer::white(40, 30);
    const auto paint = [&](int left, int top, int right, int bottom, std::uint8_t grey) {
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) picture.paint(x, y, grey, grey, grey);
    };
    paint(3, 3, 15, 12, 0);
    paint(6, 6, 9, 9, 255);
    paint(20, 5, 35, 25, 90);
    paint(24, 9, 28, 14, 30);
    runBoth(
        MoveRules::Milling,
        [&](MoveProtocol& protocol) {
            PixelBuffer source = picture, work = picture, cutter = picture;
            FigureAnalysis analysis = ParseFigures(work);
            CutterSize size;
            ToolPosition tool;
            MillJobs jobs({source, work, cutter, analysis, size, tool}, host, protocol);
            jobs.MillAll();
        },
        false);
    EXPECT_GT(grbl.lines().size(), 50);
}

TEST_F(GcodePathTest, OutliningBordersEndOnTheSamePath) {
    runBoth(
        MoveRules::Outlining,
        [&](MoveProtocol& protocol) {
            protocol.setPictureWidth(40);
            for (int border = 0; border < 5; ++border) {
                protocol.MovePixels(3 + border, 2 * border - 1, 0, false);
                protocol.MovePixels(0, 0, 1, true);
                for (int step = 0; step < 12; ++step)
                    protocol.MovePixels(step % 3 == 0 ? 0 : 1, step % 2 == 0 ? 1 : -1, 0, true);
                protocol.MovePixels(0, 0, -1, true);
                protocol.WaitForOk();
            }
        },
        false);
}

TEST_F(GcodePathTest, EngravingPixelsEndOnTheSamePath) {
    runBoth(
        MoveRules::Engraving,
        [&](MoveProtocol& protocol) {
            protocol.setPictureWidth(40);
            const int pitch = int(std::nearbyint(40 / kRatios.x / 40));
            protocol.MovePixels(0, 0, -pitch, true);
            int lastX = 1, lastY = 1;
            for (int y = 1; y <= 6; ++y) {
                for (int i = 1; i <= 10; ++i) {
                    const int x = y % 2 == 1 ? i : 11 - i;
                    const int grey = (x * 37 + y * 91) % 300;
                    if (grey >= 255) continue;
                    protocol.MovePixels(x - lastX, y - lastY, 255 - grey, true);
                    lastX = x;
                    lastY = y;
                }
            }
        },
        false);
}

TEST_F(GcodePathTest, ScanningSamplesTheSameSurfaceAndEndsOnTheSamePath) {
    runBoth(
        MoveRules::Scanner,
        [&](MoveProtocol& protocol) {
            // A zigzag over 4 × 3 points, 4000 steps apart, as the scan job walks it.
            for (int column = 0; column < 4; ++column) {
                for (int row = 0; row < 3; ++row) {
                    protocol.sendLine(0, 0, 100, false);
                    readSample();
                    if (row < 2) protocol.sendLine(0, column % 2 == 0 ? 4000 : -4000, 0, true);
                }
                if (column < 3) protocol.sendLine(-4000, 0, 0, true);
            }
        },
        true);
    ASSERT_EQ(samplesGrbl.size(), 12);
    EXPECT_NE(samplesGrbl.front(), samplesGrbl.back()) << "the surface is not flat there";
}

TEST_F(GcodePathTest, ManualMovesAreTravelsOnAllAxes) {
    runBoth(
        MoveRules::Engraving,
        [&](MoveProtocol& protocol) {
            protocol.ArduinoMoveMM(1.5, -2, 0.25);
            protocol.ArduinoMoveMM(0, 3, -1);
        },
        true);
}

TEST_F(GcodePathTest, ErrorAnswerEndsTheJobWithItsMeaningAndRaisesTheCutter) {
    auto port = std::make_unique<GrblTransport>(testProgram().settings.values(),
                                                GrblTransport::Flow::CharacterCounting,
                                                std::make_unique<VirtualGrblLine>(grbl));
    ASSERT_EQ(port->open(QString()), 0);
    link.adopt(testProgram().driver.attach(std::move(port)));
    grbl.refuseLine(20);
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    protocol.setPictureWidth(40);
    try {
        protocol.MovePixels(0, 0, -100, true);
        // A zigzag, so that no two steps join into one line.
        for (int i = 0; i < 40; ++i) protocol.MovePixels(1, i % 2 == 0 ? 1 : -1, 0, true);
        protocol.MovePixels(0, 0, 100, true);
        FAIL() << "the refusal did not end the job";
    } catch (const JobEnded& ended) {
        EXPECT_EQ(ended.reason(), JobEnded::Reason::ControllerFailed);
        EXPECT_TRUE(ended.message().contains("error:20")) << ended.message().toStdString();
        EXPECT_TRUE(ended.message().contains(QStringLiteral("неподдерживаемая")));
    }
    link.close();
    EXPECT_NEAR(grbl.position().z, 0, 1e-9) << "the cutter went back up to the surface";
    EXPECT_LT(grbl.position().x, 40.0) << "nothing after the refusal ran";
    EXPECT_TRUE(grbl.lines().contains("G53 G0 Z0"));
}

// The connection test names GRBL's version: from its banner, or asked with "$I" of a board that
// did not restart when the port opened.
TEST(GrblPort, NamesTheVersionFromTheBannerOrAsksForIt) {
    for (const bool greets : {true, false}) {
        SCOPED_TRACE(greets);
        VirtualGrbl grbl{kRatios, GcodeSettings{}.HeightRange};
        GrblTransport port(testProgram().settings.values(), GrblTransport::Flow::CharacterCounting,
                           std::make_unique<VirtualGrblLine>(grbl, 20, greets));
        ASSERT_EQ(port.open(QString()), 0);
        EXPECT_EQ(port.describeFarEnd(), QStringLiteral("Ответил контроллер GRBL версии 1.1h."));
        EXPECT_EQ(grbl.lines().contains("$I"), !greets);
    }
}

// "Стоп" in the middle of a cut: the hold completes before the reset (no alarm), the cutter is
// raised from where the hold left it, and the message gives GRBL's own final point.
TEST_F(GcodePathTest, StopHoldsResetsAndRaisesTheCutterAndNamesTheRealPoint) {
    auto port = std::make_unique<GrblTransport>(testProgram().settings.values(),
                                                GrblTransport::Flow::CharacterCounting,
                                                std::make_unique<VirtualGrblLine>(grbl, 5));
    ASSERT_EQ(port->open(QString()), 0);
    link.adopt(testProgram().driver.attach(std::move(port)));
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    protocol.setPictureWidth(40);
    protocol.MovePixels(0, 0, -100, true);
    // More lines than GRBL's buffers hold, so that the cutter is on its way when "Стоп" comes;
    // a zigzag, so that no two of them are joined into one G-code line.
    for (int i = 0; i < 80; ++i) protocol.MovePixels(1, i % 2 == 0 ? 1 : -1, 0, true);
    host.stop = StopLevel::Stop;
    try {
        protocol.MovePixels(1, 0, 0, true);
        FAIL() << "the stop did not end the job";
    } catch (const JobEnded& ended) {
        EXPECT_EQ(ended.reason(), JobEnded::Reason::Stopped);
        const QString point = QStringLiteral("X %1; Y %2; Z %3 мм")
                                  .arg(QString::number(grbl.position().x, 'f', 3),
                                       QString::number(grbl.position().y, 'f', 3),
                                       QString::number(grbl.position().z, 'f', 3))
                                  .replace(u'.', u',');
        EXPECT_TRUE(ended.message().contains(point))
            << ended.message().toStdString() << " / " << point.toStdString();
        EXPECT_TRUE(ended.message().contains(QStringLiteral("фреза поднята")));
    }
    link.close();
    EXPECT_EQ(grbl.state(), "Idle") << "the reset came after the hold had completed";
    EXPECT_NEAR(grbl.position().z, 0, 1e-9) << "raised to the surface";
    EXPECT_LT(grbl.position().x, 79.0) << "the lines still buffered were dropped";
    EXPECT_GT(grbl.position().x, 1.0) << "the cutter had moved along";
    EXPECT_EQ(grbl.lines().count("G53 G0 Z0"), 1);
}

// "Стоп" while the cutter travels at the safe height, then "Продолжить" in the same window (the
// port and its translator kept): the cutter comes down to the surface as a plain move, not
// once more below it, travels, and the rest ends where the job ends, no deeper than its depth.
TEST_F(GcodePathTest, StopInATravelAndResumeOnTheSamePortCutNoDeeperAndEndAtTheJobsEnd) {
    auto port = std::make_unique<GrblTransport>(testProgram().settings.values(),
                                                GrblTransport::Flow::CharacterCounting,
                                                std::make_unique<VirtualGrblLine>(grbl, 5));
    ASSERT_EQ(port->open(QString()), 0);
    link.adopt(testProgram().driver.attach(std::move(port)));
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    protocol.setPictureWidth(40);
    // Two borders 100 grey levels deep, 40 zigzag travels between them.
    const auto job = [&](int stopAfterTravels) {
        protocol.MovePixels(0, 0, -100, true);
        protocol.MovePixels(2, 0, 0, true);
        protocol.MovePixels(0, 0, 100, true);
        for (int i = 0; i < 40; ++i) {
            if (i == stopAfterTravels) host.stop = StopLevel::Stop;
            protocol.MovePixels(1, i % 2 == 0 ? 1 : -1, 0, true);
        }
        protocol.MovePixels(0, 0, -100, true);
        protocol.MovePixels(0, 2, 0, true);
        protocol.MovePixels(0, 0, 100, true);
    };
    protocol.trackJob(nullptr);
    try {
        job(39);
        FAIL() << "the stop did not end the job";
    } catch (const JobEnded& ended) {
        ASSERT_EQ(ended.reason(), JobEnded::Reason::Stopped) << ended.message().toStdString();
    }
    ASSERT_GT(grbl.position().z, 1) << "stopped over the surface, at the safe height";
    const ResumeStart resume = protocol.resumeAtReportedPoint();
    host.stop = StopLevel::None;
    protocol.trackJob(nullptr, resume);
    job(-1);
    testProgram().driver.endJob(link.PortHandle());
    while (!testProgram().driver.finishJob(link.PortHandle())) {
    }
    link.close();
    const double depth = 100 * std::nearbyint(5 / kRatios.z / 255) * kRatios.z;
    EXPECT_GE(grbl.lowestZ(), -depth - 1e-6);
    const double pixel = 1;  // 40 mm over 40 pixels
    // Within half a step: the reported point is taken to whole steps.
    EXPECT_NEAR(grbl.position().x, 42 * pixel, std::abs(kRatios.x) / 2);
    EXPECT_NEAR(grbl.position().y, 2 * pixel, std::abs(kRatios.y) / 2);
    EXPECT_NEAR(grbl.position().z, 0, 1e-6);
}

// A G-code file that cannot be made is refused at open, and nothing is written anywhere
// afterwards: Qt reports no write to a file that never opened.
TEST(GcodeFile, AFileInAMissingFolderIsRefusedAndNothingIsWrittenAfter) {
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { warnings << text; });
    {
        MachineLink link{testProgram().portKinds, testProgram().settings.values()};
        EXPECT_LE(link.open(QStringLiteral("gcode:/nonexistent-cnc-folder/job.nc")), 0);
        link.close();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << qPrintable(warnings.join(u'\n'));
}

}  // namespace

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

}  // namespace

// The file is written when a job ends, with that job's G-code only; opening and closing the
// port, and a job of manual moves alone, leave it as it was.
TEST(GcodeFile, EachJobWritesTheFileAnewWhenItEndsAndNothingElseWritesIt) {
    testProgram().settings.values() = ProgramSettings{};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("job.nc");
    const QByteArray handWritten = "; written by hand\nG0 X1\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(handWritten);
    }
    MachineLink link{testProgram().portKinds, testProgram().settings.values()};
    ASSERT_GT(link.open("gcode:" + path), 0);
    link.close();
    EXPECT_EQ(contents(path), handWritten) << "opened and closed without a job";

    const auto job = [&](const QString& name, const LineMeaning& meaning,
                         const QList<QByteArray>& lines) {
        const int handle = link.PortHandle();
        const QByteArray before = contents(path);
        testProgram().driver.describeJob(handle, name);
        for (const QByteArray& line : lines) {
            testProgram().driver.describeLine(handle, meaning);
            testProgram().driver.SerialWrite(handle, line);
        }
        EXPECT_EQ(contents(path), before) << "not before its end";
        testProgram().driver.endJob(handle);
    };
    ASSERT_GT(link.open("gcode:" + path), 0);
    job("обводка, ширина 200 мм", {MoveRules::Outlining, false},
        {"400,0,0;", "0,0,1;", "0,400,0;", "0,0,-1;"});
    const QByteArray first = contents(path);
    EXPECT_TRUE(first.startsWith("; cnc ")) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("; работа: обводка, ширина 200 мм\n").toUtf8()));
    EXPECT_TRUE(first.contains("\nG21\nG91\nM5\nG0 X2\nM4 S1000\nG1 Y2 F1500\nM5\n"))
        << first.toStdString();
    EXPECT_TRUE(first.endsWith("G1 Y2 F1500\nM5\n")) << "ends with the laser off, once";

    job("ручные перемещения", {MoveRules::Outlining, true}, {"0,2000,0;"});
    EXPECT_EQ(contents(path), first) << "manual moves alone write no file";

    job("фрезерование", {MoveRules::Milling, false}, {"0,0,-100;", "200,0,0;", "0,0,100;"});
    const QByteArray second = contents(path);
    EXPECT_TRUE(second.contains("\nG21\nG91\nM5\nG1 Z-0.5 F200\nG1 X1 F600\nG0 Z0.5\n"))
        << second.toStdString();
    EXPECT_FALSE(second.contains("M4")) << "the first job is not in it";
    EXPECT_FALSE(second.contains("Y10")) << "nor the manual move";
    link.close();
    EXPECT_EQ(contents(path), second);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files), QStringList{"job.nc"})
        << "no temporary file left behind";
}
