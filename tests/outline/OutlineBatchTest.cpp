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
