#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "mill/MillJobs.h"
#include "tests/support/ScriptedJob.h"
#include "tests/support/ServeSimProcess.h"

// End to end: `cnc mill all` on a picture with nested figures, through `cnc serve-sim` on a real
// pseudo-terminal, sends exactly the lines the milling jobs compute, each answered.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);

// A ring with a dot in its hole, and a separate square.
QImage nestedPicture() {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 3; y <= 20; ++y)
        for (int x = 3; x <= 20; ++x) image.setPixel(x, y, qRgb(0, 0, 0));
    for (int y = 7; y <= 16; ++y)
        for (int x = 7; x <= 16; ++x) image.setPixel(x, y, qRgb(255, 255, 255));
    for (int y = 10; y <= 12; ++y)
        for (int x = 10; x <= 12; ++x) image.setPixel(x, y, qRgb(60, 60, 60));
    for (int y = 22; y <= 26; ++y)
        for (int x = 28; x <= 34; ++x) image.setPixel(x, y, qRgb(0, 0, 0));
    return image;
}

// The lines the milling window's "Все" sends for the picture, with the batch run's settings.
QList<QByteArray> expectedLines(const QString& picturePath) {
    PictureLoadResult picture = loadPictureLayers(picturePath);
    EXPECT_EQ(picture.status, PictureLoadStatus::Loaded);
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    CutterSize cutter;
    ToolPosition tool;
    const QMap<JobField, QString> fields = {
        {JobField::FinishedWidth, "200"}, {JobField::Depth, "10"}, {JobField::Diameter, "15"}};
    return LinesSentBy(MoveRules::Milling, fields, [&](JobHost& host, MoveProtocol& protocol) {
        MillJobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, cutter, tool},
                 host, protocol)
            .MillAll();
    });
}

TEST(MillBatch, AllThroughServeSimSendsTheJobsLinesEachAnswered) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString config = dir.filePath("cnc.ini");
    {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0,005\nSM_Z_ratio=0.005\n"
            "cncrez_width=200\ncncrez_depth=10\n");
    }
    const QString picture = dir.filePath("nested.bmp");
    ASSERT_TRUE(nestedPicture().save(picture));

    ServeSimProcess server;
    const QString device = server.start({"--config", config, "serve-sim"});
    ASSERT_FALSE(device.isEmpty());

    QProcess mill;
    mill.start(kProgram,
               {"--config", config, "--port", device, "mill", "all", picture, "--diameter", "15",
                "--log", dir.filePath("exchange.log"), "--preview", dir.filePath("cutter.png")});
    ASSERT_TRUE(mill.waitForFinished(60000));
    EXPECT_EQ(mill.exitCode(), 0) << mill.readAllStandardError().toStdString();

    const QString log = dir.filePath("exchange.log");
    const QList<QByteArray> sent = LoggedLines(log, "> ");
    const QList<QByteArray> expected = expectedLines(picture);
    EXPECT_GT(expected.size(), 50);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(LoggedLines(log, "< ").count("OK"), sent.size())
        << "every line was answered before the next was sent";

    const QImage preview(dir.filePath("cutter.png"));
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.size(), QSize(40, 30));
    EXPECT_EQ(preview.pixel(3, 3), qRgb(255, 0, 0)) << "the path is drawn in red";
    EXPECT_EQ(preview.pixel(39, 0), qRgb(255, 255, 255));

    EXPECT_TRUE(server.stop());
}

TEST(MillBatch, SelectedWithoutAFigureInTheTreeIsRefused) {
    QTemporaryDir dir;
    const QString picture = dir.filePath("nested.bmp");
    ASSERT_TRUE(nestedPicture().save(picture));
    QFile config(dir.filePath("cnc.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[CNC]\n");
    config.close();
    QProcess mill;
    mill.start(kProgram, {"--config", config.fileName(), "--dry-run", "mill", "selected", picture,
                          "--figure", "999"});
    ASSERT_TRUE(mill.waitForFinished(20000));
    EXPECT_EQ(mill.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(mill.readAllStandardError()).contains("Не выбрана фигура"));
}

// A finished width of 0.0001 mm makes the 3 mm cutter millions of pixels wide: refused at once,
// before its disc is allocated (it once took gigabytes and minutes and then aborted), by every
// job and on the real controller's path as well as in a dry run.
TEST(MillBatch, ACutterFarLargerThanThePictureIsRefusedAtOnce) {
    QTemporaryDir dir;
    QFile config(dir.filePath("cnc.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[CNC]\nmill_diameter=3\n");
    config.close();
    const QString ornament = QFileInfo(kProgram).dir().filePath("ornament.bmp");
    ASSERT_TRUE(QFileInfo::exists(ornament));
    for (const char* mode : {"all", "3d", "selected"}) {
        SCOPED_TRACE(mode);
        QProcess mill;
        mill.start(kProgram, {"--config", config.fileName(), "--port", "sim", "--width", "0.0001",
                              "mill", mode, ornament, "--figure", "2"});
        ASSERT_TRUE(mill.waitForFinished(20000));
        EXPECT_EQ(mill.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(mill.exitCode(), 1);
        const QString errors = QString::fromUtf8(mill.readAllStandardError());
        EXPECT_TRUE(errors.contains("Фреза слишком велика для этой картинки"))
            << errors.toStdString();
        EXPECT_TRUE(errors.contains("Отправлено строк: 0")) << errors.toStdString();
    }
}

}  // namespace
