#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "app/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "link/Fakes.h"
#include "link/MachineLink.h"
#include "link/SerialPort.h"
#include "mill/MillJobs.h"

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
    Settings().StepRatioX = Settings().StepRatioY = Settings().StepRatioZ = 0.005;
    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    programMachineLink().adopt(SerialAttach(std::make_unique<ScriptedTransport>(script)));
    FakeJobHost host;
    host.fields[JobField::FinishedWidth] = "200";
    host.fields[JobField::Depth] = "10";
    host.fields[JobField::Diameter] = "15";
    MoveProtocol protocol(MoveWindow::Milling, host, programMachineLink());
    CutterSize cutter;
    ToolPosition tool;
    MillJobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, cutter, tool},
             host, protocol)
        .MillAll();
    programMachineLink().close();
    Settings() = ProgramSettings();
    return script->written;
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

    QProcess server;
    server.start(kProgram, {"--config", config, "serve-sim"});
    ASSERT_TRUE(server.waitForStarted(5000));
    ASSERT_TRUE(server.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(server.readLine()).trimmed();

    QProcess mill;
    mill.start(kProgram,
               {"--config", config, "--port", device, "mill", "all", picture, "--diameter", "15",
                "--log", dir.filePath("exchange.log"), "--preview", dir.filePath("cutter.png")});
    ASSERT_TRUE(mill.waitForFinished(60000));
    EXPECT_EQ(mill.exitCode(), 0) << mill.readAllStandardError().toStdString();

    QFile log(dir.filePath("exchange.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QList<QByteArray> sent;
    int answers = 0;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (line.startsWith("> ")) sent << line.mid(2);
        if (line == "< OK") ++answers;
    }
    const QList<QByteArray> expected = expectedLines(picture);
    EXPECT_GT(expected.size(), 50);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(answers, sent.size()) << "every line was answered before the next was sent";

    const QImage preview(dir.filePath("cutter.png"));
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.size(), QSize(40, 30));
    EXPECT_EQ(preview.pixel(3, 3), qRgb(255, 0, 0)) << "the path is drawn in red";
    EXPECT_EQ(preview.pixel(39, 0), qRgb(255, 255, 255));

    ::kill(pid_t(server.processId()), SIGTERM);
    EXPECT_TRUE(server.waitForFinished(3000));
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
        QElapsedTimer clock;
        clock.start();
        QProcess mill;
        mill.start(kProgram, {"--config", config.fileName(), "--port", "sim", "--width", "0.0001",
                              "mill", mode, ornament, "--figure", "2"});
        ASSERT_TRUE(mill.waitForFinished(20000));
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_EQ(mill.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(mill.exitCode(), 1);
        const QString errors = QString::fromUtf8(mill.readAllStandardError());
        EXPECT_TRUE(errors.contains("Фреза слишком велика для этой картинки"))
            << errors.toStdString();
        EXPECT_TRUE(errors.contains("Отправлено строк: 0")) << errors.toStdString();
    }
}

}  // namespace
