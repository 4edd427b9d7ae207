#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "outline/OutlineJobs.h"
#include "tests/support/ScriptedJob.h"
#include "tests/support/ServeSimProcess.h"

// End to end: `cnc outline filled` on a picture with nested figures, through `cnc serve-sim` on
// a real pseudo-terminal, sends exactly the lines the outlining jobs compute, each answered.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);

// A ring with a dot in its hole, and a separate square.
QImage nestedPicture() {
    QImage image(64, 52, QImage::Format_RGB32);
    image.fill(Qt::white);
    auto fill = [&](int left, int top, int right, int bottom, QRgb colour) {
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) image.setPixel(x, y, colour);
    };
    fill(2, 2, 44, 48, qRgb(0, 0, 0));
    fill(16, 16, 30, 34, qRgb(255, 255, 255));
    fill(19, 20, 27, 30, qRgb(60, 60, 60));
    fill(48, 4, 62, 46, qRgb(0, 0, 0));
    return image;
}

// The lines the outlining window's "Грав-ть всё" sends for the picture at width 200 mm.
QList<QByteArray> expectedLines(const QString& picturePath) {
    PictureLoadResult picture = loadPictureLayers(picturePath);
    EXPECT_EQ(picture.status, PictureLoadStatus::Loaded);
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    ToolPosition tool;
    return LinesSentBy(
        MoveRules::Outlining, {{JobField::FinishedWidth, "200"}},
        [&](JobHost& host, MoveProtocol& protocol) {
            OutlineJobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, tool},
                        host, protocol)
                .EngraveAllFilled();
        });
}

class OutlineBatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        config = dir.filePath("cnc.ini");
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0,005\nSM_Z_ratio=0.005\n"
            "Etching2_width=200\n");
        file.close();
        picture = dir.filePath("nested.bmp");
        ASSERT_TRUE(nestedPicture().save(picture));
    }
    QTemporaryDir dir;
    QString config, picture;
};

TEST_F(OutlineBatch, FilledThroughServeSimSendsTheJobsLinesEachAnswered) {
    ServeSimProcess server;
    const QString device = server.start({"--config", config, "serve-sim"});
    ASSERT_FALSE(device.isEmpty());

    QProcess outline;
    outline.start(kProgram, {"--config", config, "--port", device, "outline", "filled", picture,
                             "--depth", "3", "--diameter", "2", "--log",
                             dir.filePath("exchange.log"), "--preview", dir.filePath("laser.png")});
    ASSERT_TRUE(outline.waitForFinished(120000));
    EXPECT_EQ(outline.exitCode(), 0) << outline.readAllStandardError().toStdString();

    const QString log = dir.filePath("exchange.log");
    const QList<QByteArray> sent = LoggedLines(log, "> ");
    const QList<QByteArray> expected = expectedLines(picture);
    EXPECT_GT(expected.count("0,0,1;"), 4) << "several rings of several figures";
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(LoggedLines(log, "< ").count("OK"), sent.size()) << "every line was answered";

    const QImage preview(dir.filePath("laser.png"));
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.size(), QSize(64, 52));
    EXPECT_EQ(preview.pixel(5, 5), qRgb(255, 0, 0)) << "the rings are drawn in red";
    EXPECT_EQ(preview.pixel(63, 0), qRgb(255, 255, 255));

    EXPECT_TRUE(server.stop());
}

TEST_F(OutlineBatch, BadModeIsABadCommandLineAndNoFigureIsRefused) {
    QProcess outline;
    outline.start(kProgram, {"--config", config, "--dry-run", "outline", "round", picture});
    ASSERT_TRUE(outline.waitForFinished(20000));
    EXPECT_EQ(outline.exitCode(), 2);
    outline.start(kProgram, {"--config", config, "--dry-run", "outline", "selected", picture,
                             "--figure", "999"});
    ASSERT_TRUE(outline.waitForFinished(20000));
    EXPECT_EQ(outline.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(outline.readAllStandardError()).contains("Не выбрана фигура"));
}

}  // namespace

namespace {

// `outline all --surface` and `engrave --surface` written as G-code over a tilted plane: the
// laser's Z follows the plane (up 0.05 mm per mm of machine X, 0.02 per mm of Y), so that its
// focus stays on the surface; without the map the file has no Z at all. Engraving takes a
// pixel's height with the move that leads into its burn, so between pixels its Z may be ahead
// by the plane's rise over two pixels (0.05 mm); at every pixel burnt it is exact.
class LaserSurfaceBatch : public ::testing::TestWithParam<QStringList> {};

TEST_P(LaserSurfaceBatch, OnAGcodePortTheLaserFollowsTheSurfaceInZ) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString picture = dir.filePath("nested.bmp");
    ASSERT_TRUE(nestedPicture().save(picture));
    QFile config(dir.filePath("cnc.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\n");
    config.close();
    const auto plane = [](double x, double y) { return 0.05 * x + 0.02 * y; };
    QByteArray csv = "column,row,x_mm,y_mm,sample,value,z_mm\n";
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i)
            csv += QByteArray::number(i) + ',' + QByteArray::number(j) + ',' +
                   QByteArray::number((i - 1) * 20) + ',' + QByteArray::number((j - 1) * 20) +
                   ",0,0," + QByteArray::number(plane(-(i - 1) * 20, (j - 1) * 20)) + '\n';
    QFile map(dir.filePath("map.csv"));
    ASSERT_TRUE(map.open(QIODevice::WriteOnly));
    map.write(csv);
    map.close();

    const auto written = [&](const QStringList& extra) {
        const QString out = dir.filePath("out.nc");
        QProcess process;
        process.start(kProgram, QStringList{"--config", config.fileName(), "--port", "gcode:" + out,
                                            "--width", "32"} +
                                    GetParam() + QStringList{picture} + extra);
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        QFile file(out);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().split('\n');
    };
    for (const QByteArray& line : written({}))
        EXPECT_FALSE(line.startsWith('G') && line.contains(" Z")) << line.toStdString();

    // The job starts at the map's (−36, 4): 64 pixels of 0.5 mm reach X −4.5, inside the map.
    double x = -36, y = 4, z = 0;
    int burnt = 0;
    for (const QByteArray& line :
         written({"--surface", map.fileName(), "--surface-offset", "-36,4"})) {
        if (!line.startsWith("G0") && !line.startsWith("G1")) continue;
        for (const QByteArray& word : line.split(' ')) {
            const double value = word.mid(1).toDouble();
            if (word.startsWith('X')) x += value;
            if (word.startsWith('Y')) y += value;
            if (word.startsWith('Z')) z += value;
        }
        burnt += line.startsWith("G1");
        const bool burning = line.startsWith("G1") && line.contains(" S") && !line.contains(" S0");
        EXPECT_NEAR(z, plane(x, y) - plane(-36, 4), burning ? 1e-6 : 0.051) << line.toStdString();
    }
    EXPECT_GT(burnt, 10);
    EXPECT_NEAR(z, plane(x, y) - plane(-36, 4), 1e-6) << "the last pixel's height exactly";
}

INSTANTIATE_TEST_SUITE_P(Jobs, LaserSurfaceBatch,
                         testing::Values(QStringList{"outline", "all"}, QStringList{"engrave"}));

}  // namespace
