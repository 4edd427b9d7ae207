#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "engrave/PictureEngraving.h"
#include "figures/PictureLayers.h"
#include "tests/support/ScriptedJob.h"
#include "tests/support/ServeSimProcess.h"

// End to end: `cnc engrave` through `cnc serve-sim` on a real pseudo-terminal sends exactly the
// lines the engraving job computes, each answered, and its preview shows the burnt pixels red.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);

// A small greyscale "photo": shaded, textured, with a white ground on the left and at the top.
QImage photo(int width, int height) {
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool ground = x < width / 5 || y < height / 6 || (x * 7 + y * 3) % 11 == 0;
            const int shade =
                int(120 + 100 * std::sin(x * 0.21) * std::cos(y * 0.17)) + (x * 31 + y * 17) % 23;
            image.scanLine(y)[x] = ground ? 255 : std::uint8_t(std::clamp(shade, 0, 254));
        }
    return image;
}

class EngraveBatchTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile file(path("cnc.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0,005\nSM_Z_ratio=0.005\n"
            "Etching_width=64\nPort=/dev/cnc-no-such-port\n");
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    // Runs cnc with the temporary configuration to its end; returns the exit status.
    int run(const QStringList& words, int timeoutMs = 60000) {
        QProcess process;
        process.start(kProgram, QStringList{"--config", path("cnc.ini")} + words);
        EXPECT_TRUE(process.waitForFinished(timeoutMs));
        errors = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QList<QByteArray> logged(const char* prefix) const {
        return LoggedLines(path("exchange.log"), prefix);
    }

    QTemporaryDir dir;
    QString errors;
};

// The lines the engraving window's job sends for the picture, with the batch run's settings.
QList<QByteArray> expectedLines(const QString& picturePath, const QString& width) {
    PictureFileResult file = loadPictureFile(picturePath);
    EXPECT_EQ(file.status, PictureLoadStatus::Loaded);
    return LinesSentBy(MoveRules::Engraving, {{JobField::FinishedWidth, width}},
                       [&](JobHost& host, MoveProtocol& protocol) {
                           EngravePicture(file.picture, host, protocol);
                       });
}

TEST_F(EngraveBatchTest, PhotoThroughServeSimEveryLineAnsweredAndPreviewRed) {
    const QImage picture = photo(64, 48);
    ASSERT_TRUE(picture.save(path("photo.bmp")));

    ServeSimProcess server;
    const QString device = server.start({"--config", path("cnc.ini"), "serve-sim"});
    ASSERT_FALSE(device.isEmpty());

    EXPECT_EQ(run({"--port", device, "engrave", path("photo.bmp"), "--log", path("exchange.log"),
                   "--preview", path("preview.png")}),
              0)
        << qPrintable(errors);
    const QList<QByteArray> sent = logged("> ");
    const QList<QByteArray> expected = expectedLines(path("photo.bmp"), "64");
    EXPECT_GT(expected.size(), 1000);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(logged("< ").count("OK"), sent.size()) << "every line was answered";
    EXPECT_TRUE(errors.contains(QStringLiteral("Отправлено строк: %1").arg(sent.size())))
        << qPrintable(errors);

    const QImage preview(path("preview.png"));
    ASSERT_EQ(preview.size(), picture.size());
    int burnt = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const int v = picture.scanLine(y)[x];
            const QRgb shown = preview.pixel(x, y);
            SCOPED_TRACE(testing::Message() << x << "," << y << " grey " << v);
            ASSERT_EQ(qBlue(shown), v);
            ASSERT_EQ(qGreen(shown), v);
            ASSERT_EQ(qRed(shown), 255) << "burnt pixels are red, white stays white";
            burnt += v != 255;
        }
    EXPECT_EQ(burnt, sent.size() - 1);
    EXPECT_TRUE(server.stop());
}

TEST_F(EngraveBatchTest, WidthsThatCannotBeEngravedAreRefusedBeforeAnyLine) {
    ASSERT_TRUE(photo(40, 30).save(path("photo.bmp")));
    for (const char* width : {"0", "abc", "0,001", "-3"}) {
        SCOPED_TRACE(width);
        EXPECT_EQ(run({"--port", "sim", "--log", path("exchange.log"), "engrave", path("photo.bmp"),
                       "--width", width}),
                  1);
        EXPECT_TRUE(logged("> ").isEmpty());
        EXPECT_TRUE(errors.contains(QStringLiteral("Отправлено строк: 0"))) << qPrintable(errors);
    }
    EXPECT_EQ(run({"--dry-run", "engrave", path("none.jpg")}), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("не найден"))) << qPrintable(errors);
}

// A dry run of a photo of a million pixels reaches its last pixel (its speed is the engraving
// benchmark's).
TEST_F(EngraveBatchTest, DryRunOfAMillionPixelPhotoReachesItsLastPixel) {
    ASSERT_TRUE(photo(1000, 1000).save(path("big.png")));
    EXPECT_EQ(run({"--dry-run", "engrave", path("big.png"), "--preview", path("big-out.png")}), 0)
        << qPrintable(errors);
    const QImage preview(path("big-out.png"));
    EXPECT_EQ(qRed(preview.pixel(999, 999)), 255);
}

}  // namespace
