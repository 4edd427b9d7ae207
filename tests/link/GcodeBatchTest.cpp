#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <array>
#include <cmath>
#include <optional>

#include "tests/support/RunningCnc.h"

// End to end through the cnc executable: jobs written as G-code files, checked by an independent
// interpreter (gcode-toolpath from npm), and jobs streamed to `cnc serve-sim --grbl` on a real
// pseudo-terminal, compared with the same job on our own virtual controller.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);
constexpr double kRatio = 0.005;

using Point = std::array<double, 3>;

struct Track {
    Point end{};
    Point min{};
    Point max{};
};

// Two dark rectangles, one with a hole, and a grey one.
QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto fill = [&](int left, int top, int right, int bottom, int grey) {
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) image.setPixel(x, y, qRgb(grey, grey, grey));
    };
    fill(width / 10, height / 10, width / 2, height / 2, 0);
    fill(width / 5, height / 5, width / 3, height / 3, 255);
    fill(width * 6 / 10, height / 4, width * 9 / 10, height * 8 / 10, 80);
    return image;
}

class GcodeBatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        config = m_cnc.config = dir.filePath("cnc.ini");
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // The virtual GRBL moves at the feeds: a quick probe keeps the scans short.
        file.write(
            "[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\ngcode_feed_probe=600\n");
    }

    QString savePicture(int width, int height) {
        const QString path = dir.filePath(QStringLiteral("p%1.bmp").arg(width));
        EXPECT_TRUE(picture(width, height).save(path));
        return path;
    }

    QProcess* run(const QStringList& arguments) { return m_cnc.run(arguments); }
    static int finish(QProcess* process, QString* error = nullptr, int timeoutMs = 120000) {
        return RunningCnc::finish(process, error, timeoutMs);
    }

    // Where our virtual controller's lines lead, from the exchange log of a "sim" run.
    Track simTrack(const QStringList& job) {
        const QString log = dir.filePath("sim.log");
        QString error;
        EXPECT_EQ(finish(run(QStringList{"--port", "sim", "--log", log} + job), &error), 0)
            << error.toStdString();
        QFile file(log);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        Track track;
        qint64 steps[3] = {};
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.startsWith("> ")) continue;
            const QList<QByteArray> fields = line.mid(2).chopped(1).split(',');
            for (int i = 0; i < 3; ++i) {
                steps[i] += fields.value(i).toLongLong();
                track.end[i] = steps[i] * kRatio;
                track.min[i] = std::min(track.min[i], track.end[i]);
                track.max[i] = std::max(track.max[i], track.end[i]);
            }
        }
        return track;
    }

    // The virtual GRBL on its pseudo-terminal; returns its device.
    QString startGrbl(QProcess** server, const QStringList& options) {
        *server = run(QStringList{"serve-sim", "--grbl"} + options);
        EXPECT_TRUE((*server)->waitForReadyRead(5000));
        return QString::fromLocal8Bit((*server)->readLine()).trimmed();
    }

    // Ends the server (a batch job on grbl: ends only once GRBL reports Idle, so nothing is
    // still planned); returns its transcript after the device line.
    QStringList stopGrbl(QProcess* server) {
        ::kill(pid_t(server->processId()), SIGTERM);
        EXPECT_TRUE(server->waitForFinished(5000));
        return QString::fromUtf8(server->readAllStandardOutput()).split(u'\n');
    }

    static Point transcriptPoint(const QStringList& transcript, const QString& prefix) {
        for (const QString& line : transcript) {
            if (!line.startsWith(prefix)) continue;
            const QStringList values = line.mid(prefix.size()).split(u',');
            return {values.value(0).toDouble(), values.value(1).toDouble(),
                    values.value(2).toDouble()};
        }
        ADD_FAILURE() << "no " << prefix.toStdString() << " in the transcript";
        return {};
    }

    QTemporaryDir dir;
    QString config;
    RunningCnc m_cnc;
};

void expectNear(const Point& a, const Point& b, const char* what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], 1e-3) << what << " axis " << i;
}

// What gcode_toolpath_check.js reads from a file: where it ends, its box, and what its moves do.
struct Interpreted {
    Track track;
    int moves = 0;
    int travels = 0;
    std::optional<double> lowestTravel;  // none without travels
    int burningTravels = 0;
    double passStep = 0;
};

// Interprets `written` with gcode-toolpath; fails the test when it cannot.
Interpreted interpreted(const QString& written) {
    QProcess node;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NODE_PATH", QStringLiteral(CNC_NODE_MODULES));
    node.setProcessEnvironment(environment);
    node.start("node", {QStringLiteral(CNC_GCODE_CHECK_SCRIPT), written});
    EXPECT_TRUE(node.waitForFinished(60000));
    EXPECT_EQ(node.exitCode(), 0) << node.readAllStandardError().toStdString();
    Interpreted theirs;
    for (const QString& line : QString::fromUtf8(node.readAllStandardOutput()).split(u'\n')) {
        const QStringList words = line.split(u' ');
        const QString value = words.value(1);
        Point* target = words[0] == "end"   ? &theirs.track.end
                        : words[0] == "min" ? &theirs.track.min
                        : words[0] == "max" ? &theirs.track.max
                                            : nullptr;
        if (words[0] == "moves") theirs.moves = value.toInt();
        if (words[0] == "travels") theirs.travels = value.toInt();
        if (words[0] == "lowest-travel" && value != "none") theirs.lowestTravel = value.toDouble();
        if (words[0] == "burning-travels") theirs.burningTravels = value.toInt();
        if (words[0] == "pass-step") theirs.passStep = value.toDouble();
        if (!target) continue;
        for (int i = 0; i < 3; ++i) (*target)[i] = words.value(i + 1).toDouble();
    }
    return theirs;
}

// Every job written as a G-code file: the independent interpreter reads it, and it ends where
// our virtual controller ends, in the same box over the work. The laser windows' third field is
// no Z move (laser on/off, darkness), nor is the scanner's sample request, so only milling
// compares heights: its deepest cut is the job's, its travels are over the safe height (5 mm)
// and no pass goes more than 1 mm below the one before. No laser travel burns. An engraving's
// row starts one pixel (2.5 mm here) before its first pixel, which is burnt on the way in.
TEST_F(GcodeBatch, WrittenFileReadsInGcodeToolpathAndEndsWhereOurControllerEnds) {
    const QString modules = QStringLiteral(CNC_NODE_MODULES);
    if (!QFileInfo::exists(modules + "/gcode-toolpath/package.json"))
        GTEST_SKIP() << "gcode-toolpath is not installed in " << modules.toStdString()
                     << " (scripts/test.sh installs it)";
    const QString programDir = QFileInfo(kProgram).absolutePath();
    const QString ornament = dir.filePath("ornament.bmp");
    ASSERT_TRUE(QFile::copy(programDir + "/ornament.bmp", ornament));
    // The laser jobs take a small picture: our controller answers at the pace of a real line.
    const QString small = savePicture(80, 60);
    constexpr double kSafeHeight = 5;
    constexpr double kPassDepth = 1;
    constexpr double kPixel = 200.0 / 80;
    struct Job {
        QStringList arguments;
        const char* headerWords;
        bool milling;
        double rowStart;  // how far X may go beyond our controller's box
        int minimumMoves;
    };
    const Job jobs[] = {
        {{"mill", "all", ornament}, "mill all", true, 0, 500},
        {{"mill", "3d", small}, "mill 3d", true, 0, 100},
        {{"outline", "filled", small}, "outline filled", false, 0, 20},
        {{"engrave", small}, "engrave", false, kPixel, 100},
        {{"scan", "--mesh", "6,5"}, "scan", false, 0, 29},
    };
    for (const Job& job : jobs) {
        SCOPED_TRACE(job.arguments.join(' ').toStdString());
        Track ours = simTrack(job.arguments);
        if (job.arguments[0] == "scan") {
            // The sample requests 0,0,100; move nothing: only the grid travels count.
            ours.end[2] = 0;
        }

        const QString written = dir.filePath(job.arguments[0] + ".nc");
        QString error;
        ASSERT_EQ(finish(run(QStringList{"--port", "gcode:" + written} + job.arguments), &error), 0)
            << error.toStdString();
        QFile file(written);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        EXPECT_TRUE(text.startsWith("; cnc ")) << "a header names what made the file";
        EXPECT_TRUE(text.contains(job.headerWords));
        EXPECT_TRUE(text.contains("0,005"));
        EXPECT_FALSE(QDir(dir.path())
                         .entryList(QDir::Hidden | QDir::Files)
                         .join(' ')
                         .contains("." + job.arguments[0] + ".nc"))
            << "no temporary file left behind";

        const Interpreted theirs = interpreted(written);
        EXPECT_GE(theirs.moves, job.minimumMoves);
        EXPECT_NEAR(theirs.track.end[0], ours.end[0], 1e-3) << "end X";
        EXPECT_NEAR(theirs.track.end[1], ours.end[1], 1e-3) << "end Y";
        EXPECT_NEAR(theirs.track.min[1], ours.min[1], 1e-3) << "min Y";
        EXPECT_NEAR(theirs.track.max[1], ours.max[1], 1e-3) << "max Y";
        EXPECT_LE(theirs.track.min[0], ours.min[0] + 1e-3) << "min X";
        EXPECT_GE(theirs.track.min[0], ours.min[0] - job.rowStart - 1e-3) << "min X";
        EXPECT_GE(theirs.track.max[0], ours.max[0] - 1e-3) << "max X";
        EXPECT_LE(theirs.track.max[0], ours.max[0] + job.rowStart + 1e-3) << "max X";
        EXPECT_EQ(theirs.burningTravels, 0) << "a travel with the laser on";
        if (job.milling) {
            EXPECT_NEAR(theirs.track.end[2], ours.end[2], 1e-3) << "end Z";
            EXPECT_NEAR(theirs.track.min[2], ours.min[2], 1e-3) << "the deepest cut";
            EXPECT_LT(ours.min[2], -kPassDepth) << "a job deep enough for passes";
            EXPECT_GT(theirs.travels, 0);
            ASSERT_TRUE(theirs.lowestTravel.has_value());
            EXPECT_GE(*theirs.lowestTravel, kSafeHeight - 1e-6) << "a travel under the safe height";
            EXPECT_LE(theirs.passStep, kPassDepth + 1e-6);
            EXPECT_GT(theirs.passStep, kPassDepth / 2) << "the passes were seen";
        }
    }
}

TEST_F(GcodeBatch, MillingStreamedToServeSimGrblKeepsTheBufferFullAndEndsWhereOursEnds) {
    // Small enough to be cut at the virtual GRBL's feeds in seconds.
    const QStringList job = {"--width", "20", "mill", "all", savePicture(80, 60)};
    const Track ours = simTrack(job);
    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {"--delay", "1"});
    QString error;
    EXPECT_EQ(finish(run(QStringList{"--port", "grbl:" + device} + job), &error), 0)
        << error.toStdString();
    const QStringList transcript = stopGrbl(server);
    expectNear(transcriptPoint(transcript, "# MPos "), ours.end, "end");
    const QStringList buffer = transcript.filter("# buffer ");
    ASSERT_EQ(buffer.size(), 1);
    EXPECT_FALSE(buffer[0].contains("overflow"));
    const int most = buffer[0].mid(9).toInt();
    EXPECT_LE(most, 128);
    EXPECT_GT(most, 100) << "the receive buffer was kept full";
}

TEST_F(GcodeBatch, StopMidJobHoldsResetsRaisesTheCutterAndEnds) {
    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {"--delay", "20"});
    QProcess* mill = run({"--port", "grbl:" + device, "mill", "all", savePicture(80, 60)});
    // Let the cutter go down and cut for a while.
    QByteArray seen;
    for (int i = 0; i < 300 && seen.count("G1 X") < 10; ++i) {
        server->waitForReadyRead(100);
        seen += server->readAllStandardOutput();
    }
    ASSERT_GE(seen.count("G1 X"), 10) << seen.toStdString();
    ::kill(pid_t(mill->processId()), SIGINT);
    QString error;
    EXPECT_EQ(finish(mill, &error, 30000), 1);
    EXPECT_TRUE(error.contains(QStringLiteral("Работа остановлена"))) << error.toStdString();
    const QString transcript = QString::fromUtf8(seen) + stopGrbl(server).join(u'\n');
    const qsizetype hold = transcript.indexOf("> !");
    const qsizetype reset = transcript.indexOf("> ^X");
    const qsizetype rise = transcript.indexOf("> G53 G0 Z0");
    ASSERT_GE(hold, 0) << "feed hold";
    EXPECT_GT(reset, hold) << "then a soft reset";
    // A stop while the cutter travels over the safe height needs no rise.
    if (rise >= 0) {
        EXPECT_GT(rise, reset) << "then the cutter rises to the surface";
    }
    EXPECT_FALSE(transcript.contains("ALARM")) << "the reset came when nothing moved";
    EXPECT_GE(transcriptPoint(transcript.split(u'\n'), "# MPos ")[2], -1e-9)
        << "at or above the surface";
}

TEST_F(GcodeBatch, ErrorAnswerEndsTheJobWithTheCodesMeaning) {
    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {"--error-at", "40"});
    QString error;
    EXPECT_EQ(finish(run({"--port", "grbl:" + device, "mill", "all", savePicture(80, 60)}), &error),
              1);
    EXPECT_TRUE(error.contains("error:20")) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("неподдерживаемая или неверная команда G-кода")));
    const QStringList transcript = stopGrbl(server);
    EXPECT_NEAR(transcriptPoint(transcript, "# MPos ")[2], 0.0, 1e-9) << "cutter raised";
}

// The virtual GRBL probes the same test surface as our virtual probe: a live scan through it
// gives the samples ours gives, from the very first point on (a sample request that opens the
// job once went out as a Z move).
TEST_F(GcodeBatch, ScanThroughServeSimGrblGivesTheSamplesOfOurVirtualProbe) {
    const QString ours = dir.filePath("sim.csv");
    const QString theirs = dir.filePath("grbl.csv");
    QString error;
    ASSERT_EQ(
        finish(run({"--port", "sim:probe", "scan", "--mesh", "6,5", "--export", ours}), &error), 0)
        << error.toStdString();
    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {});
    ASSERT_EQ(finish(run({"--port", "grbl:" + device, "scan", "--mesh", "6,5", "--export", theirs}),
                     &error),
              0)
        << error.toStdString();
    stopGrbl(server);
    QFile a(ours);
    QFile b(theirs);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    // The heights in millimetres differ by design: GRBL's contact depths against our probe's
    // samples times its scale; the columns before them must be the same.
    const auto withoutHeights = [](QFile& file) {
        QList<QByteArray> rows = file.readAll().split('\n');
        for (QByteArray& row : rows) row = row.left(row.lastIndexOf(','));
        return rows;
    };
    const QList<QByteArray> expected = withoutHeights(a);
    const QList<QByteArray> got = withoutHeights(b);
    EXPECT_EQ(expected.size(), 32);  // a header, 30 points and the final line end
    EXPECT_EQ(expected.value(0), "column,row,x_mm,y_mm,sample,value");
    EXPECT_EQ(got, expected);
}

}  // namespace
