#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

#include "StlReader.h"
#include "link/virtual/VirtualController.h"
#include "scanner/ScanInterpolation.h"
#include "scanner/ScanSurface.h"
#include "tests/support/ServeSimProcess.h"

// End to end: `cnc scan` against `cnc serve-sim --probe` on a pseudo-terminal, its picture, CSV
// and STL read back and compared with the virtual probe's test surface.

namespace {

class BatchScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QFile file(path("cnc.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            "[CNC]\nSM_X_ratio=0,005\nSM_Y_ratio=0,005\nSM_Z_ratio=0,005\n"
            "Port=/dev/cnc-no-such-port\n");
    }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QByteArray readFile(const char* name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString startProbeServer() { return m_server.start({"serve-sim", "--probe"}); }
    int run(const QStringList& words) {
        QProcess process;
        process.start(QStringLiteral(CNC_EXECUTABLE),
                      QStringList{"--config", path("cnc.ini")} + words);
        EXPECT_TRUE(process.waitForFinished(60000));
        m_stderr = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    // The test surface under grid point (i, j) for grid steps in motor steps (X sent negated).
    static HeightMap surface(int w, int h, int stepX, int stepY) {
        HeightMap map = HeightMap::zeros(w, h);
        for (int j = 1; j <= h; ++j)
            for (int i = 1; i <= w; ++i)
                map.at(i, j) = TestSurfaceSample(-qint64(i - 1) * stepX, qint64(j - 1) * stepY);
        return map;
    }
    // Every line sent was answered: "> line" followed by its answers, the probe's with digits.
    static void expectEveryLineAnswered(const QByteArray& log, int samples, int moves) {
        const QList<QByteArray> lines = log.trimmed().split('\n');
        int sampleLines = 0, moveLines = 0;
        for (qsizetype k = 0; k < lines.size(); ++k) {
            if (!lines[k].startsWith("> ")) continue;
            if (lines[k] == "> 0,0,100;") {
                ++sampleLines;
                ASSERT_LT(k + 2, lines.size());
                EXPECT_TRUE(lines[k + 1].startsWith("< ") && lines[k + 2] == "< OK");
            } else {
                ++moveLines;
                ASSERT_LT(k + 1, lines.size());
                EXPECT_EQ(lines[k + 1], "< OK");
            }
        }
        EXPECT_EQ(sampleLines, samples);
        EXPECT_EQ(moveLines, moves);
    }

    QTemporaryDir m_dir;
    ServeSimProcess m_server;
    QString m_stderr;
};

// A controller without a probe answers every sample request with the same nothing: the scan
// ends with the warning about the probe. With --return the probe comes back to where it
// started: the X and Y steps of all the lines sent add up to zero.
TEST_F(BatchScanTest, ScanWithoutAProbeWarnsAndReturnBringsTheProbeBack) {
    for (const bool back : {false, true}) {
        SCOPED_TRACE(back);
        QStringList words{"--port", "sim", "scan", "--mesh", "6,5", "--log", path("exchange.log")};
        if (back) words << "--return";
        ASSERT_EQ(run(words), 0) << qPrintable(m_stderr);
        EXPECT_TRUE(m_stderr.contains(QStringLiteral(
            "Сканирвание завершено\nВсе 30 точек дали одно и то же значение (0): щуп, "
            "возможно, не подключён или не касается поверхности.")))
            << qPrintable(m_stderr);
        qint64 x = 0, y = 0;
        int lines = 0;
        for (const QByteArray& line : readFile("exchange.log").split('\n')) {
            if (!line.startsWith("> ")) continue;
            ++lines;
            const QList<QByteArray> fields = line.mid(2).chopped(1).split(',');
            ASSERT_EQ(fields.size(), 3) << line.constData();
            x += fields[0].toLongLong();
            y += fields[1].toLongLong();
        }
        EXPECT_EQ(lines, back ? 60 : 59);
        EXPECT_EQ(x == 0 && y == 0, back) << x << ", " << y;
    }
}

TEST_F(BatchScanTest, LiveSixByFiveThroughServeSim) {
    const QString device = startProbeServer();
    ASSERT_TRUE(device.startsWith(QLatin1String("/dev/"))) << qPrintable(device);
    ASSERT_EQ(run({"--port", device, "scan", "--mesh", "6,5", "--area", "100", "--image", "200,200",
                   "--save", path("image.bmp"), "--export", path("scan.csv"), "--log",
                   path("exchange.log")}),
              0)
        << qPrintable(m_stderr);
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("Сканирвание завершено"))) << qPrintable(m_stderr);
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("Отправлено строк: 59"))) << qPrintable(m_stderr);
    expectEveryLineAnswered(readFile("exchange.log"), 30, 29);

    const HeightMap raw = surface(6, 5, 4000, 5000);
    HeightMap scaled = raw;
    RescaleHeightMap(scaled);
    const QImage picture(path("image.bmp"));
    ASSERT_EQ(picture.size(), QSize(222, 222));
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 6; ++i)
            EXPECT_EQ(qGray(picture.pixel((i - 1) * 40 + 9, (j - 1) * 50 + 9)),
                      std::clamp(raw.at(i, j), 0, 255));

    const QList<QByteArray> csv = readFile("scan.csv").trimmed().split('\n');
    ASSERT_EQ(csv.size(), 31);
    for (int k = 1; k <= 30; ++k) {
        const QList<QByteArray> f = csv[k].split(',');
        ASSERT_EQ(f.size(), 7);
        const int i = f[0].toInt(), j = f[1].toInt();
        EXPECT_DOUBLE_EQ(f[2].toDouble(), (i - 1) * 20.0);
        EXPECT_DOUBLE_EQ(f[3].toDouble(), (j - 1) * 25.0);
        EXPECT_EQ(f[4].toInt(), raw.at(i, j));
        EXPECT_EQ(f[5].toInt(), scaled.at(i, j));
        EXPECT_DOUBLE_EQ(f[6].toDouble(), raw.at(i, j) * 0.01) << "the sample times the scale";
    }
}

TEST_F(BatchScanTest, LiveEightBySevenInterpolatedWithStl) {
    const QString device = startProbeServer();
    ASSERT_EQ(run({"--port", device, "scan", "--mesh", "8,7", "--area", "140", "--image", "210,180",
                   "--interpolate", "--save", path("image.bmp"), "--export", path("scan.stl"),
                   "--preview", path("preview.png")}),
              0)
        << qPrintable(m_stderr);
    // Area 140 × (180 × 140 ÷ 210 = 120) mm: 4000 steps between columns and between rows.
    const HeightMap raw = surface(8, 7, 4000, 4000);
    HeightMap scaled = raw;
    RescaleHeightMap(scaled);
    const ImageExtent extent{210, 180};
    const InterpolatedImage heights = InterpolateImage(scaled, extent);
    const QImage picture(path("image.bmp"));
    ASSERT_EQ(picture.size(), QSize(232, 202));
    EXPECT_EQ(QImage(path("preview.png")).convertToFormat(QImage::Format_RGB32),
              picture.convertToFormat(QImage::Format_RGB32));
    for (int y = 0; y <= 180; ++y) {
        for (int x = 0; x <= 210; ++x) {
            const int grey = qGray(picture.pixel(x + 9, y + 9));
            if (x % 30 == 0 && y % 30 == 0) {
                ASSERT_EQ(grey, std::clamp(raw.at(x / 30 + 1, y / 30 + 1), 0, 255));
            } else {
                ASSERT_EQ(grey, heights.at(x, y)) << x << "," << y;
            }
        }
    }

    const auto triangles = readBinaryStl(readFile("scan.stl"));
    ASSERT_TRUE(triangles.has_value());
    ASSERT_EQ(triangles->size(), 2u * 210 * 180);
    int gridVertices = 0;
    for (const StlTriangle& t : *triangles) {
        for (const auto& v : t.vertex) {
            // 140 mm over 210 pixels, 120 mm over 180: a grid point every 20 mm.
            const double i = v[0] / 20.0 + 1, j = v[1] / 20.0 + 1;
            if (std::abs(i - std::round(i)) > 1e-4 || std::abs(j - std::round(j)) > 1e-4) continue;
            ++gridVertices;
            ASSERT_NEAR(v[2], scaled.at(int(std::round(i)), int(std::round(j))) * 10.0 / 255, 1e-4);
        }
    }
    EXPECT_GT(gridVertices, 56);
}

TEST_F(BatchScanTest, RefusalsAndDryRunPreview) {
    EXPECT_EQ(run({"--dry-run", "scan", "--mesh", "5,4"}), 1);
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("Размер сетки по X должен быть кратным 4")));
    EXPECT_FALSE(m_stderr.contains(QStringLiteral("нечетным")));
    EXPECT_EQ(run({"--dry-run", "scan", "--mesh", "6"}), 2);
    EXPECT_EQ(run({"--dry-run", "scan", "--image", "0,100"}), 1);
    EXPECT_EQ(run({"--dry-run", "scan", "--mesh", "2,3", "--interpolate"}), 1);
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("не меньше 4"))) << qPrintable(m_stderr);

    ASSERT_EQ(run({"--dry-run", "scan", "--image", "120,90", "--preview", path("dry.bmp")}), 0)
        << qPrintable(m_stderr);
    const QImage preview(path("dry.bmp"));
    EXPECT_EQ(preview.size(), QSize(142, 112));
}

}  // namespace

namespace {

// "scan --relief" of the virtual probe's test surface: the interpolated surface alone, mirrored
// left to right (the scan's columns run towards −X), black to white; "mill 3d" then cuts it as a
// relief through the virtual controller to the end.
TEST_F(BatchScanTest, AReliefOfTheTestSurfaceIsMilledIn3dToTheEnd) {
    ASSERT_EQ(run({"--port", "sim:probe", "--area", "20", "--image", "60,60", "scan", "--mesh",
                   "6,5", "--relief", path("relief.bmp")}),
              0)
        << m_stderr.toStdString();
    const QImage relief(path("relief.bmp"));
    ASSERT_EQ(relief.size(), QSize(61, 61));
    HeightMap map = surface(6, 5, 800, 1000);  // 4 and 5 mm of 0.005 mm steps
    RescaleHeightMap(map);
    int lowest = 255, highest = 0;
    for (int y = 0; y <= 60; ++y)
        for (int x = 0; x <= 60; ++x) {
            const QRgb pixel = relief.pixel(60 - x, y);
            ASSERT_TRUE(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel));
            lowest = std::min(lowest, qRed(pixel));
            highest = std::max(highest, qRed(pixel));
            ASSERT_NEAR(qRed(pixel), std::clamp(InterpolateAt(map, {60, 60}, x, y), 0, 255), 1)
                << x << ", " << y;
        }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 255);

    EXPECT_EQ(run({"--port", "sim", "--width", "20", "--diameter", "2", "mill", "3d",
                   path("relief.bmp")}),
              0)
        << m_stderr.toStdString();
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("Отправлено строк"))) << m_stderr.toStdString();
}

}  // namespace
