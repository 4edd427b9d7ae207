#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

#include "tests/support/RunningCnc.h"

// A scan and a milling job over the scanned map, end to end through the cnc executable and
// `serve-sim --grbl` probing a tilted plane: during every cut the virtual GRBL's cutter stays at
// the job's depth below the plane. The map is bilinear over its grid, which is exact for a
// plane, so the tolerance is the G-code's 0.01 mm alone.

namespace {

constexpr double kZ0 = -1, kGx = 0.02, kGy = -0.015;  // the plane Z = Z0 + GX·X + GY·Y
constexpr double kDepth = 510 * 0.005;                // black: 255 levels of 2 steps of 0.005 mm

double plane(double x, double y) {
    return kZ0 + kGx * x + kGy * y;
}

// The machine position after each G-code line the server received, from machine 0, 0, 0 (it
// starts there): relative moves (G91), G53 Z absolute (a probing move is always followed by the
// G53 that brings the probe back). Returns the end points of the cutting moves along X/Y (G1 at
// the mill feed, which is modal), each with its Z.
struct Cut {
    double x, y, z;
};
QList<Cut> cutsIn(const QString& transcript, double millFeed) {
    QList<Cut> cuts;
    double x = 0, y = 0, z = 0, feed = 0;
    bool cutting = false;
    for (const QString& line : transcript.split(u'\n')) {
        if (!line.startsWith(QStringLiteral("> G")) && !line.startsWith(QStringLiteral("> M")))
            continue;
        const QStringList words = line.mid(2).split(u' ', Qt::SkipEmptyParts);
        const bool machine = words.contains(QStringLiteral("G53"));
        if (words.contains(QStringLiteral("G1"))) cutting = true;
        if (words.contains(QStringLiteral("G0")) || words.contains(QStringLiteral("G38.2")))
            cutting = false;
        bool alongXY = false;
        for (const QString& word : words) {
            const double value = word.mid(1).toDouble();
            switch (word.at(0).toLatin1()) {
                case 'X':
                    x += value;
                    alongXY = true;
                    break;
                case 'Y':
                    y += value;
                    alongXY = true;
                    break;
                case 'Z':
                    z = machine ? value : z + value;
                    break;
                case 'F':
                    feed = value;
                    break;
                default:
                    break;
            }
        }
        if (cutting && alongXY && std::abs(feed - millFeed) < 1e-9) cuts.append({x, y, z});
    }
    return cuts;
}

TEST(GrblSurface, AScannedPlaneIsMilledAtTheJobsDepthBelowItEverywhere) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RunningCnc cnc;
    cnc.config = dir.filePath("cnc.ini");
    {
        QFile file(cnc.config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\ngcode_feed_probe=300\n"
            "gcode_pass_depth=5\ngcode_feed_mill=600\n");
    }
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int py = 4; py <= 24; ++py)
        for (int px = 5; px <= 34; ++px)
            if (px < 12 || px > 27 || py < 10 || py > 18) picture.setPixel(px, py, qRgb(0, 0, 0));
    ASSERT_TRUE(picture.save(dir.filePath("frame.bmp")));

    QProcess* server = cnc.run({"serve-sim", "--grbl", "--surface", "-1,0.02,-0.015"});
    ASSERT_TRUE(server->waitForReadyRead(5000));
    const QString port = "grbl:" + QString::fromLocal8Bit(server->readLine()).trimmed();
    QString error;
    // 4 × 5 points over 20 × 20 mm: the scan ends over its last column's first point, at
    // machine X −19.995 (the columns run towards −X), Y 0, at the height it started from.
    ASSERT_EQ(RunningCnc::finish(cnc.run({"--port", port, "--area", "20", "scan", "--mesh", "4,5",
                                          "--export", dir.filePath("map.csv")}),
                                 &error),
              0)
        << error.toStdString();
    // The cutter onto the surface at machine (−18, 2), the job's start on the map.
    const double startX = -18, startY = 2;
    ASSERT_EQ(RunningCnc::finish(cnc.run({"--port", port, "move", "1.995", "2",
                                          QString::number(plane(startX, startY))}),
                                 &error),
              0)
        << error.toStdString();
    ASSERT_EQ(
        RunningCnc::finish(cnc.run({"--port", port, "--width", "15", "--depth", "2", "--diameter",
                                    "1", "mill", "all", dir.filePath("frame.bmp"), "--surface",
                                    dir.filePath("map.csv"), "--surface-offset", "-18,2"}),
                           &error),
        0)
        << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("вышла за карту"))) << error.toStdString();
    ::kill(pid_t(server->processId()), SIGTERM);
    ASSERT_TRUE(server->waitForFinished(5000));
    const QString transcript = QString::fromUtf8(server->readAllStandardOutput());
    EXPECT_FALSE(transcript.contains("ALARM")) << transcript.toStdString();

    const QList<Cut> cuts = cutsIn(transcript, 600);
    ASSERT_GE(cuts.size(), 8) << "both borders of the frame, four sides each";
    double lowest = 0, highest = -100;
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(testing::Message() << cut.x << ", " << cut.y << ", " << cut.z);
        EXPECT_NEAR(plane(cut.x, cut.y) - cut.z, kDepth, 0.01);
        lowest = std::min(lowest, cut.z);
        highest = std::max(highest, cut.z);
    }
    EXPECT_GT(highest - lowest, 0.2) << "the cutter follows a surface that is not flat";
}

}  // namespace
