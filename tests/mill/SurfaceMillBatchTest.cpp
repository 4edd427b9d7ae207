#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "tests/support/ServeSimProcess.h"

// End to end through the cnc executable and its virtual controller: `mill all` on a drawn
// picture with and without a height map (a tilted plane with a bump, written by the test as the
// scanner's CSV). With the map, every line's Z steps differ from the flat run's by the
// surface's change over the line, to one step, and its X and Y steps are the same.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);
constexpr double kRatio = 0.005;
constexpr double kPitch = 2;  // mm between grid points
constexpr int kColumns = 13, kRows = 9;

// The surface in machine millimetres.
double surface(double x, double y) {
    return 0.05 * x + 0.03 * y + 0.8 * std::exp(-((x + 12) * (x + 12) + (y - 7) * (y - 7)) / 10);
}

// The literal bilinear reference over the grid: column i at machine X −(i − 1)·pitch (the scan
// moves its columns towards −X), row j at Y (j − 1)·pitch; clamped to the edges.
double mapHeight(double x, double y) {
    const double gx = std::clamp(-x / kPitch, 0.0, kColumns - 1.0);
    const double gy = std::clamp(y / kPitch, 0.0, kRows - 1.0);
    const int i = std::min(int(gx), kColumns - 2), j = std::min(int(gy), kRows - 2);
    const double u = gx - i, v = gy - j;
    const auto at = [](int c, int r) { return surface(-c * kPitch, r * kPitch); };
    return (at(i, j) * (1 - u) + at(i + 1, j) * u) * (1 - v) +
           (at(i, j + 1) * (1 - u) + at(i + 1, j + 1) * u) * v;
}

QByteArray surfaceCsv() {
    QByteArray csv = "column,row,x_mm,y_mm,sample,value,z_mm\n";
    for (int j = 1; j <= kRows; ++j)
        for (int i = 1; i <= kColumns; ++i) {
            const double x = (i - 1) * kPitch, y = (j - 1) * kPitch;
            csv += QByteArray::number(i) + ',' + QByteArray::number(j) + ',' +
                   QByteArray::number(x) + ',' + QByteArray::number(y) + ",0,0," +
                   QByteArray::number(surface(-x, y), 'g', 12) + '\n';
        }
    return csv;
}

struct Line {
    qint64 x, y, z;
};

QList<Line> linesOf(const QList<QByteArray>& sent) {
    QList<Line> lines;
    for (const QByteArray& text : sent) {
        const QList<QByteArray> parts = text.chopped(1).split(',');
        lines.append({parts[0].toLongLong(), parts[1].toLongLong(), parts[2].toLongLong()});
    }
    return lines;
}

class SurfaceMillBatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile config(dir.filePath("cnc.ini"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\n");
        config.close();
        QFile map(dir.filePath("map.csv"));
        ASSERT_TRUE(map.open(QIODevice::WriteOnly));
        map.write(surfaceCsv());
        map.close();
        // A ring with a square in its hole, and a grey bar.
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::white);
        for (int y = 3; y <= 24; ++y)
            for (int x = 3; x <= 24; ++x) {
                const bool hole = x >= 8 && x <= 19 && y >= 8 && y <= 19;
                const bool inner = x >= 11 && x <= 16 && y >= 11 && y <= 16;
                if (!hole || inner) image.setPixel(x, y, qRgb(0, 0, 0));
            }
        for (int y = 5; y <= 25; ++y)
            for (int x = 30; x <= 35; ++x) image.setPixel(x, y, qRgb(90, 90, 90));
        ASSERT_TRUE(image.save(dir.filePath("picture.bmp")));
    }

    // `mill all` through the virtual controller; returns the lines sent, standard error in
    // `error`.
    QList<Line> mill(const QStringList& extra, QString* error = nullptr) {
        const QString log = dir.filePath("exchange.log");
        QProcess process;
        process.start(kProgram,
                      QStringList{"--config", dir.filePath("cnc.ini"), "--port", "sim", "--width",
                                  "20", "--depth", "2", "--diameter", "1", "--log", log, "mill",
                                  "all", dir.filePath("picture.bmp")} +
                          extra);
        EXPECT_TRUE(process.waitForFinished(60000));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
        if (error) *error = errors;
        return linesOf(LoggedLines(log, "> "));
    }

    QTemporaryDir dir;
};

TEST_F(SurfaceMillBatch, EveryLineGetsTheSurfacesChangeInZAndKeepsItsXAndY) {
    const QList<Line> flat = mill({});
    QString error;
    const QList<Line> followed =
        mill({"--surface", dir.filePath("map.csv"), "--surface-offset", "-22,0.5"}, &error);
    ASSERT_GT(flat.size(), 100);
    ASSERT_EQ(followed.size(), flat.size());
    EXPECT_FALSE(error.contains(QStringLiteral("вышла за карту"))) << error.toStdString();

    double x = -22, y = 0.5;  // the job's start on the map, mm
    const double start = mapHeight(x, y);
    qint64 extra = 0;
    int rising = 0;
    for (qsizetype k = 0; k < flat.size(); ++k) {
        SCOPED_TRACE(k);
        ASSERT_EQ(followed[k].x, flat[k].x);
        ASSERT_EQ(followed[k].y, flat[k].y);
        const double before = mapHeight(x, y);
        x += flat[k].x * kRatio;
        y += flat[k].y * kRatio;
        const double change = (mapHeight(x, y) - before) / kRatio;
        const qint64 added = followed[k].z - flat[k].z;
        EXPECT_LE(std::abs(double(added) - change), 1.0) << "steps added " << added;
        extra += added;
        rising += added > 0;
        EXPECT_LE(std::abs(double(extra) - (mapHeight(x, y) - start) / kRatio), 0.5 + 1e-9)
            << "the sum stays within half a step of the surface";
    }
    EXPECT_GT(rising, 10) << "the surface changes under the job";
}

TEST_F(SurfaceMillBatch, AJobLeavingTheMapSaysSoOnceAndABadMapIsRefused) {
    QString error;
    mill({"--surface", dir.filePath("map.csv")}, &error);
    EXPECT_EQ(error.count(QStringLiteral("Работа вышла за карту высот")), 1) << error.toStdString();

    QFile bad(dir.filePath("bad.csv"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("column,row,x_mm,y_mm,sample\n1,1,0,0,5\n2,1,2,0,5\n1,2,0,2,5\n");
    bad.close();
    QProcess process;
    process.start(kProgram, {"--config", dir.filePath("cnc.ini"), "--port", "sim", "mill", "all",
                             dir.filePath("picture.bmp"), "--surface", bad.fileName()});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 1);
    const QString refusal = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(refusal.contains(QStringLiteral("неполна"))) << refusal.toStdString();
}

}  // namespace
