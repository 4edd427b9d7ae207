#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "TestPictures.h"
#include "figures/FigureAnalysis.h"
#include "figures/FigureReport.h"
#include "figures/PictureLayers.h"

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
    const PixelBuffer picture = blobPicture(61, 47, 25, 9);
    ASSERT_TRUE(imageView(picture).save(path("blobs.bmp"), "BMP"));
    const ProcessRun run = runCnc({"parse", path("blobs.bmp"), "--labels", path("labels.txt")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.toStdString(), "");

    const FigureAnalysis analysis = ParseFigures(picture);
    ASSERT_TRUE(analysis.hasTree());
    EXPECT_EQ(run.out.toStdString(), figureReport(analysis).toStdString());
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    writeLabelGrid(analysis.labels, expected);
    QFile labels(path("labels.txt"));
    ASSERT_TRUE(labels.open(QIODevice::ReadOnly));
    EXPECT_EQ(labels.readAll(), expected.data());
}

TEST_F(ParseCommand, RefusesAPictureItCannotReadWithTheProgramsMessage) {
    const ProcessRun missing = runCnc({"parse", path("absent.bmp")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.toStdString(),
              (fileNotFoundMessage(path("absent.bmp")) + "\n").toStdString());
    EXPECT_TRUE(missing.out.isEmpty());

    QFile junk(path("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    const ProcessRun undecodable = runCnc({"parse", path("junk.jpg"), "--labels", path("l.txt")});
    EXPECT_EQ(undecodable.exitCode, 1);
    EXPECT_EQ(undecodable.err.toStdString(), (cannotOpenFileMessage() + "\n").toStdString());
    EXPECT_FALSE(QFile::exists(path("l.txt")));
}

TEST_F(ParseCommand, LabelsFileThatCannotBeWrittenFails) {
    ASSERT_TRUE(imageView(pictureFromRows({".#.", "..."})).save(path("tiny.bmp"), "BMP"));
    const ProcessRun run = runCnc({"parse", path("tiny.bmp"), "--labels", path("no/such/x.txt")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(path("no/such/x.txt"))) << run.err.toStdString();
}

TEST_F(ParseCommand, WantsExactlyOnePicture) {
    for (const QStringList& words : {QStringList{"parse"}, QStringList{"parse", "a", "b"}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        EXPECT_EQ(runCnc(words).exitCode, 2);
    }
}

}  // namespace
