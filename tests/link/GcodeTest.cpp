#include <gtest/gtest.h>

#include <QStringList>
#include <cmath>
#include <functional>
#include <utility>

#include "app/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "link/Fakes.h"
#include "link/GcodeTranslator.h"
#include "link/GrblTransport.h"
#include "link/MachineLink.h"
#include "link/MoveProtocol.h"
#include "link/SerialPort.h"
#include "link/VirtualController.h"
#include "link/VirtualGrbl.h"
#include "mill/MillJobs.h"

namespace {

const StepRatios kRatios{0.005, -0.005, 0.01};

QStringList texts(const QList<QByteArray>& lines) {
    QStringList out;
    for (const QByteArray& line : lines) out << QString::fromLatin1(line);
    return out;
}

// Translates move lines of one window; returns all G-code in order.
QStringList translated(MoveWindow window, const QList<std::array<qint32, 3>>& moves) {
    GcodeTranslator translator{GcodeSettings{}};
    QList<QByteArray> lines;
    for (const auto& [x, y, z] : moves) {
        const GcodeStep step = translator.translate({window, false}, kRatios, x, y, z);
        lines += step.lines;
        if (step.probe) lines.append("probe");
    }
    return texts(lines);
}

TEST(GcodeTranslator, MillingTravelsPlungesCutsAndRises) {
    EXPECT_EQ(
        translated(
            MoveWindow::Milling,
            {{200, 100, 0}, {0, 0, -300}, {10, 0, 0}, {10, 10, 50}, {0, 0, 250}, {-20, 0, 0}}),
        QStringList({"G0 X1 Y-0.5", "G1 Z-3 F200", "G1 X0.05 F600", "G1 X0.05 Y-0.05 Z0.5",
                     "G0 Z2.5", "G0 X-0.1"}));
}

TEST(GcodeTranslator, OutliningSwitchesTheLaserAroundEachBorder) {
    EXPECT_EQ(translated(MoveWindow::Outlining,
                         {{400, 0, 0}, {0, 0, 1}, {2, 0, 0}, {0, 2, 0}, {0, 0, -1}, {-4, 0, 0}}),
              QStringList({"G0 X2", "M4 S1000", "G1 X0.01 F1500", "G1 Y-0.01", "M5", "G0 X-0.02"}));
}

TEST(GcodeTranslator, EngravingBurnsEachPixelAsOnePitchEndingOnIt) {
    // Pitch 100 steps = 0.5 mm; pixels (1,1) dark 255, (2,1) 51, then row 2 walked leftwards.
    EXPECT_EQ(translated(MoveWindow::Engraving,
                         {{0, 0, -100}, {0, 0, 255}, {100, 0, 51}, {0, 100, 102}, {-100, 0, 1}}),
              QStringList({"M4 S0", "G0 X-0.5", "G1 X0.5 S1000 F1500", "G1 X0.5 S200",
                           "G0 X-0.5 Y-0.5", "G1 X0.5 S400", "G0 X-1", "G1 X0.5 S3.921569"}));
}

TEST(GcodeTranslator, ScannerSampleRequestIsAProbeAndOtherLinesAreTravels) {
    EXPECT_EQ(translated(MoveWindow::Scanner, {{0, 0, 100}, {-4000, 0, 0}, {0, 5000, 0}}),
              QStringList({"probe", "G0 X-20", "G0 Y-25"}));
    GcodeTranslator translator{GcodeSettings{}};
    EXPECT_EQ(translator.probingMove(), "G38.2 Z-10 F100");
    EXPECT_EQ(translator.sampleForDepth(0), 255);
    EXPECT_EQ(translator.sampleForDepth(5), 0);
    EXPECT_EQ(translator.sampleForDepth(2.5), 128) << "127.5 rounds to even";
    EXPECT_EQ(translator.sampleForDepth(9), 0);
    EXPECT_EQ(translator.sampleForDepth(-1), 255);
}

TEST(GcodeTranslator, SafeEndingRaisesACutterInTheMaterialAndSwitchesTheLaserOff) {
    GcodeTranslator translator{GcodeSettings{}};
    translator.translate({MoveWindow::Milling, false}, kRatios, 0, 0, -300);
    translator.translate({MoveWindow::Milling, false}, kRatios, 10, 0, 100);
    EXPECT_EQ(texts(translator.safeEnding()), QStringList({"G0 Z2"}));
    EXPECT_TRUE(translator.safeEnding().isEmpty()) << "nothing more once safe";
    translator.translate({MoveWindow::Outlining, false}, kRatios, 0, 0, 1);
    EXPECT_EQ(texts(translator.safeEnding()), QStringList({"M5"}));
}

// The controller's side of a grbl: port inside the test: every poll lets `msPerPoll` of the
// virtual GRBL's time pass, so lines queue up in its receive buffer as on a real machine.
class VirtualGrblLine final : public SerialTransport {
public:
    explicit VirtualGrblLine(VirtualGrbl& grbl, double msPerPoll = 20)
        : m_grbl(grbl), m_msPerPoll(msPerPoll), m_out(VirtualGrbl::banner()) {}
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
        Settings().StepRatioX = kRatios.x;
        Settings().StepRatioY = kRatios.y;
        Settings().StepRatioZ = kRatios.z;
        host.fields[JobField::FinishedWidth] = "40";
        host.fields[JobField::Depth] = "5";
        host.fields[JobField::Diameter] = "0";
    }
    void TearDown() override { Settings() = ProgramSettings(); }

    using Job = std::function<void(MoveProtocol&)>;

    // Runs `job` on "sim:probe"; returns the controller's path in millimetres and the samples.
    QList<Millimetres> onSim(MoveWindow window, const Job& job) {
        link.open(QStringLiteral("sim:probe"));
        MoveProtocol protocol(window, host, link);
        job(protocol);
        samplesSim = std::exchange(recordedSamples, {});
        QList<Millimetres> path;
        for (const MachinePosition& at : VirtualControllerOf(link.PortHandle())->path())
            path.append({at.x * kRatios.x, at.y * kRatios.y, at.z * kRatios.z});
        link.close();
        return path;
    }

    QList<Millimetres> onGrbl(MoveWindow window, const Job& job) {
        auto port = std::make_unique<GrblTransport>(GrblTransport::Flow::CharacterCounting,
                                                    std::make_unique<VirtualGrblLine>(grbl));
        EXPECT_EQ(port->open(QString()), 0);
        GrblTransport* transport = port.get();
        link.adopt(SerialAttach(std::move(port)));
        MoveProtocol protocol(window, host, link);
        job(protocol);
        // The job ends when GRBL has run everything it accepted.
        while (!SerialFinishJob(link.PortHandle())) {
        }
        samplesGrbl = std::exchange(recordedSamples, {});
        mostInFlight = transport->mostBytesInFlight();
        link.close();
        return grbl.path();
    }

    // Every position of `ours` appears in `theirs` in the same order (the G-code may pass
    // through more points: a pixel's burn, a probe's dip), and both end at the same point.
    static void expectSamePath(const QList<Millimetres>& ours, const QList<Millimetres>& theirs,
                               bool withZ) {
        const auto same = [&](const Millimetres& a, const Millimetres& b) {
            return std::abs(a.x - b.x) < 1e-6 && std::abs(a.y - b.y) < 1e-6 &&
                   (!withZ || std::abs(a.z - b.z) < 1e-6);
        };
        ASSERT_FALSE(ours.isEmpty());
        ASSERT_FALSE(theirs.isEmpty());
        qsizetype next = 0;
        for (qsizetype i = 0; i < ours.size(); ++i) {
            while (next < theirs.size() && !same(ours[i], theirs[next])) ++next;
            ASSERT_LT(next, theirs.size())
                << "point " << i << " of " << ours.size() << " (" << ours[i].x << ", " << ours[i].y
                << ", " << ours[i].z << ") is not on the GRBL path in order";
        }
        EXPECT_TRUE(same(ours.back(), theirs.back())) << "both end at the same point";
    }

    void runBoth(MoveWindow window, const Job& job, bool withZ) {
        const QList<Millimetres> ours = onSim(window, job);
        const QList<Millimetres> theirs = onGrbl(window, job);
        expectSamePath(ours, theirs, withZ);
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
            for (int byte = SerialReadByte(link.PortHandle()); byte >= 0;
                 byte = SerialReadByte(link.PortHandle()))
                text.append(char(byte));
        }
        int value = 0;
        for (const char c : text.left(text.indexOf("OK")))
            if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
        recordedSamples.append(value);
        return value;
    }

    FakeJobHost host;
    MachineLink link;
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
        MoveWindow::Milling,
        [&](MoveProtocol& protocol) {
            PixelBuffer source = picture, work = picture, cutter = picture;
            FigureAnalysis analysis = ParseFigures(work);
            CutterSize size;
            ToolPosition tool;
            MillJobs jobs({source, work, cutter, analysis, size, tool}, host, protocol);
            jobs.MillAll();
        },
        true);
    EXPECT_GT(grbl.lines().size(), 50);
}

TEST_F(GcodePathTest, OutliningBordersEndOnTheSamePath) {
    runBoth(
        MoveWindow::Outlining,
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
        MoveWindow::Engraving,
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
        MoveWindow::Scanner,
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
        MoveWindow::Engraving,
        [&](MoveProtocol& protocol) {
            protocol.ArduinoMoveMM(1.5, -2, 0.25);
            protocol.ArduinoMoveMM(0, 3, -1);
        },
        true);
}

TEST_F(GcodePathTest, ErrorAnswerEndsTheJobWithItsMeaningAndRaisesTheCutter) {
    auto port = std::make_unique<GrblTransport>(GrblTransport::Flow::CharacterCounting,
                                                std::make_unique<VirtualGrblLine>(grbl));
    ASSERT_EQ(port->open(QString()), 0);
    link.adopt(SerialAttach(std::move(port)));
    grbl.refuseLine(20);
    MoveProtocol protocol(MoveWindow::Milling, host, link);
    protocol.setPictureWidth(40);
    try {
        protocol.MovePixels(0, 0, -100, true);
        for (int i = 0; i < 40; ++i) protocol.MovePixels(1, 0, 0, true);
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

// "Стоп" in the middle of a cut: the hold completes before the reset (no alarm), the cutter is
// raised from where the hold left it, and the message gives GRBL's own final point.
TEST_F(GcodePathTest, StopHoldsResetsAndRaisesTheCutterAndNamesTheRealPoint) {
    auto port = std::make_unique<GrblTransport>(GrblTransport::Flow::CharacterCounting,
                                                std::make_unique<VirtualGrblLine>(grbl, 5));
    ASSERT_EQ(port->open(QString()), 0);
    link.adopt(SerialAttach(std::move(port)));
    MoveProtocol protocol(MoveWindow::Milling, host, link);
    protocol.setPictureWidth(40);
    protocol.MovePixels(0, 0, -100, true);
    // More lines than GRBL's buffers hold, so that the cutter is on its way when "Стоп" comes.
    for (int i = 0; i < 80; ++i) protocol.MovePixels(1, 0, 0, true);
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

// A G-code file that cannot be made is refused at open, and nothing is written anywhere
// afterwards: Qt reports no write to a file that never opened.
TEST(GcodeFile, AFileInAMissingFolderIsRefusedAndNothingIsWrittenAfter) {
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { warnings << text; });
    {
        MachineLink link;
        EXPECT_LE(link.open(QStringLiteral("gcode:/nonexistent-cnc-folder/job.nc")), 0);
        link.close();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << qPrintable(warnings.join(u'\n'));
}

}  // namespace
