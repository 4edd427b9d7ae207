#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "figures/PictureLayers.h"
#include "tests/support/FigurePictures.h"

// `cnc parse`, run as a user runs it from a shell.

namespace {

struct ProcessRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

class ParseCommand : public testing::Test {
protected:
    // An empty configuration file of its own, so that no stored setting takes part.
    void SetUp() override {
        QFile config(path("cnc.ini"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    }

    ProcessRun runCnc(const QStringList& arguments) const {
        QProcess process;
        process.start(QStringLiteral(CNC_EXECUTABLE),
                      QStringList{"--config", m_dir.filePath("cnc.ini")} + arguments);
        ProcessRun run;
        if (!process.waitForFinished(60000)) return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

TEST_F(ParseCommand, PrintsTheAnalysisAndWritesTheLabelGrid) {
    // The U keeps the right arm's number 3; the dot below takes the freed 2.
    const PixelBuffer picture = pictureFromRows({".#..#.", ".#..#.", ".####.", "......", "..#..."});
    ASSERT_TRUE(imageView(picture).save(path("u.bmp"), "BMP"));
    const ProcessRun run = runCnc({"parse", path("u.bmp"), "--labels", path("labels.txt")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.toStdString(), "");
    EXPECT_EQ(run.out.toStdString(),
              "picture 6 5\n"
              "figure 1 light depth 0\n"
              "figure 2 dark depth 1\n"
              "figure 3 dark depth 1\n"
              "pair 1 3\n"
              "pair 1 2\n"
              "node P1 -\n"
              "node P3 P1\n"
              "node P2 P1\n");
    QFile labels(path("labels.txt"));
    ASSERT_TRUE(labels.open(QIODevice::ReadOnly));
    EXPECT_EQ(labels.readAll().toStdString(),
              "1 1 1 1 1 1 1\n"
              "1 1 3 1 1 3 1\n"
              "1 1 3 1 1 3 1\n"
              "1 1 3 3 3 3 1\n"
              "1 1 1 1 1 1 1\n"
              "1 1 1 2 1 1 1\n");
}

// On standard error the message's lines end in LF alone.
TEST_F(ParseCommand, RefusesAPictureItCannotReadWithTheProgramsMessage) {
    const ProcessRun missing = runCnc({"parse", path("absent.bmp")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.toStdString(),
              ("Файл картинки не найден: " + path("absent.bmp") + "\n").toStdString());
    EXPECT_TRUE(missing.out.isEmpty());

    QFile junk(path("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    const ProcessRun undecodable = runCnc({"parse", path("junk.jpg"), "--labels", path("l.txt")});
    EXPECT_EQ(undecodable.exitCode, 1);
    EXPECT_TRUE(undecodable.err.startsWith("Ошибка открытия файла!\njunk.jpg: "))
        << undecodable.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("l.txt")));
}

// A labels file that cannot be opened, or a device that refuses the writes (a full disk); the
// device is written, never replaced by a file.
TEST_F(ParseCommand, LabelsFileThatCannotBeWrittenFails) {
    ASSERT_TRUE(imageView(pictureFromRows({".#.", "..."})).save(path("tiny.bmp"), "BMP"));
    for (const QString& labels : {path("no/such/x.txt"), QStringLiteral("/dev/full")}) {
        SCOPED_TRACE(labels.toStdString());
        const ProcessRun run = runCnc({"parse", path("tiny.bmp"), "--labels", labels});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(labels)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile());
}

TEST_F(ParseCommand, WantsExactlyOnePicture) {
    for (const QStringList& words : {QStringList{"parse"}, QStringList{"parse", "a", "b"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        EXPECT_EQ(runCnc(words).exitCode, 2);
    }
}

}  // namespace
