#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <random>

#include "engrave/PictureEngraving.h"
#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "mill/BorderTracer.h"
#include "mill/MillJobs.h"
#include "outline/OutlineJobs.h"
#include "tests/support/ScriptedJob.h"
#include "tests/support/ServeSimProcess.h"

// End to end through `cnc serve-sim` on a pseudo-terminal: a job killed with SIGKILL after a
// (seeded) random number of lines, then run again with --resume, sends the machine the lines of
// an uninterrupted run, apart from the lines that join the tool to where it went on, and leaves
// the virtual controller where an uninterrupted run leaves it. A journal of another job is
// refused before anything is sent.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);
const QString kOrnament = QStringLiteral(CNC_ORNAMENT_PATH);
const QString kGepard = QStringLiteral(CNC_GEPARD_PATH);

// A small greyscale photo: shaded, with a white ground that the engraving travels over.
QImage photo(int width, int height) {
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool ground = x < width / 5 || (x * 7 + y * 3) % 11 == 0;
            const int shade = int(120 + 100 * std::sin(x * 0.21) * std::cos(y * 0.17));
            image.scanLine(y)[x] = ground ? 255 : std::uint8_t(std::clamp(shade, 0, 254));
        }
    return image;
}

// Where the lines leave the machine, summed as the virtual controller sums them.
struct Sum {
    qint64 x = 0, y = 0, z = 0;
    friend bool operator==(const Sum&, const Sum&) = default;
};
Sum sumOf(const QList<QByteArray>& lines, bool zMoves) {
    Sum sum;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.chopped(1).split(',');
        sum.x += fields.value(0).toLongLong();
        sum.y += fields.value(1).toLongLong();
        if (zMoves) sum.z += fields.value(2).toLongLong();
    }
    return sum;
}

class ResumeBatch : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile file(path("cnc.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\n");
        file.close();
        device =
            server.start(QStringList{"--config", path("cnc.ini"), "serve-sim"} + serverOptions());
        ASSERT_FALSE(device.isEmpty());
    }
    virtual QStringList serverOptions() const { return {}; }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Runs `words` on the server until its log shows `lines` lines sent, then kills it.
    void runAndKill(const QStringList& words, int lines) {
        QProcess job;
        job.start(kProgram, QStringList{"--config", path("cnc.ini"), "--port", device, "--log",
                                        path("before.log")} +
                                words);
        ASSERT_TRUE(job.waitForStarted(5000));
        while (LoggedLines(path("before.log"), "> ").size() < lines) {
            ASSERT_EQ(job.state(), QProcess::Running) << "the job ended before the kill";
            job.waitForFinished(5);
            drain();
        }
        ::kill(pid_t(job.processId()), SIGKILL);
        ASSERT_TRUE(job.waitForFinished(5000));
        ASSERT_TRUE(QFile::exists(path("cnc.journal"))) << "a killed job leaves its journal";
    }
    // Runs `words` with --resume to its end; returns the exit status.
    int resume(const QStringList& words) {
        QProcess job;
        job.start(kProgram, QStringList{"--config", path("cnc.ini"), "--port", device, "--log",
                                        path("after.log"), "--resume"} +
                                words);
        // A guard against a hang only: the default photo takes minutes on a loaded machine.
        for (int waited = 0; waited < 900000 && !job.waitForFinished(20); waited += 20) drain();
        EXPECT_EQ(job.state(), QProcess::NotRunning);
        errors = QString::fromUtf8(job.readAllStandardError());
        return job.exitStatus() == QProcess::NormalExit ? job.exitCode() : -1;
    }
    // Takes what the server has printed, so that its pipe never fills and stalls it.
    void drain() {
        server.process().waitForReadyRead(0);
        printed += server.process().readAllStandardOutput();
    }
    // The lines the server received, in order.
    QList<QByteArray> served() {
        EXPECT_TRUE(server.stop());
        drain();
        QList<QByteArray> lines;
        for (const QByteArray& line : printed.split('\n'))
            if (line.startsWith("> ")) lines << line.mid(2).trimmed();
        return lines;
    }

    // Kills `words` after a seeded random count of lines, resumes it, and checks the served
    // lines against `expected`; returns the joining lines.
    QList<QByteArray> killAndResume(const QStringList& words, const QList<QByteArray>& expected,
                                    bool zMoves, unsigned seed) {
        std::mt19937 random(seed);
        const int kill = std::uniform_int_distribution<int>(int(expected.size() / 10),
                                                            int(expected.size() * 8 / 10))(random);
        runAndKill(words, kill);
        const int before = int(LoggedLines(path("before.log"), "> ").size());
        EXPECT_EQ(resume(words), 0) << qPrintable(errors);
        const QRegularExpression note(
            QStringLiteral("после строки (\\d+) из журнала; подвод: (\\d+)"));
        const QRegularExpressionMatch match = note.match(errors);
        EXPECT_TRUE(match.hasMatch()) << qPrintable(errors);
        EXPECT_EQ(match.captured(1).toInt(), before)
            << "the journal counts every line the machine was sent";
        const int join = match.captured(2).toInt();
        const QList<QByteArray> all = served();
        EXPECT_EQ(all.size(), expected.size() + join);
        QList<QByteArray> joined = all.mid(before, join);
        QList<QByteArray> job = all.mid(0, before) + all.mid(before + join);
        EXPECT_EQ(job, expected);
        EXPECT_EQ(sumOf(all, zMoves), sumOf(expected, zMoves))
            << "the controller ends where an uninterrupted run ends";
        EXPECT_FALSE(QFile::exists(path("cnc.journal"))) << "a finished job removes its journal";
        return joined;
    }

    QTemporaryDir dir;
    ServeSimProcess server;
    QString device;
    QString errors;
    QByteArray printed;
};

TEST_F(ResumeBatch, EngravingKilledAndResumedSendsTheLinesOfOneRun) {
    ASSERT_TRUE(photo(48, 40).save(path("photo.bmp")));
    PictureFileResult file = loadPictureFile(path("photo.bmp"));
    const QList<QByteArray> expected =
        LinesSentBy(MoveRules::Engraving, {{JobField::FinishedWidth, "48"}},
                    [&](JobHost& host, MoveProtocol& protocol) {
                        EngravePicture(file.picture, host, protocol);
                    });
    const QList<QByteArray> joined =
        killAndResume({"engrave", path("photo.bmp"), "--width", "48"}, expected, false, 24);
    ASSERT_FALSE(joined.isEmpty());
    EXPECT_EQ(joined.back(), expected.front()) << "the opening line is sent again";
}

// The default photo, tens of thousands of lines: the count survives a kill at any point.
TEST_F(ResumeBatch, EngravingTheDefaultPhotoKilledAndResumedSendsTheLinesOfOneRun) {
    PictureFileResult file = loadPictureFile(kGepard);
    ASSERT_EQ(file.status, PictureLoadStatus::Loaded);
    const QList<QByteArray> expected =
        LinesSentBy(MoveRules::Engraving, {{JobField::FinishedWidth, "120"}},
                    [&](JobHost& host, MoveProtocol& protocol) {
                        EngravePicture(file.picture, host, protocol);
                    });
    ASSERT_GT(expected.size(), 40000);
    const QList<QByteArray> joined =
        killAndResume({"engrave", kGepard, "--width", "120"}, expected, false, 46);
    ASSERT_FALSE(joined.isEmpty());
    EXPECT_EQ(joined.back(), expected.front()) << "the opening line is sent again";
}

TEST_F(ResumeBatch, MillingAllKilledAndResumedSendsTheLinesOfOneRun) {
    PictureLoadResult picture = loadPictureLayers(kOrnament);
    ASSERT_EQ(picture.status, PictureLoadStatus::Loaded);
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    CutterSize cutter;
    ToolPosition tool;
    const QList<QByteArray> expected = LinesSentBy(
        MoveRules::Milling,
        {{JobField::FinishedWidth, "200"}, {JobField::Depth, "2"}, {JobField::Diameter, "3"}},
        [&](JobHost& host, MoveProtocol& protocol) {
            MillJobs(
                {layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, cutter, tool},
                host, protocol)
                .MillAll();
        });
    killAndResume({"mill", "all", kOrnament, "--width", "200", "--depth", "2", "--diameter", "3"},
                  expected, true, 7);
}

TEST_F(ResumeBatch, OutlineFilledKilledAndResumedOpensTheBorderAgain) {
    PictureLoadResult picture = loadPictureLayers(kOrnament);
    ASSERT_EQ(picture.status, PictureLoadStatus::Loaded);
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    ToolPosition tool;
    const QList<QByteArray> expected = LinesSentBy(
        MoveRules::Outlining, {{JobField::FinishedWidth, "200"}},
        [&](JobHost& host, MoveProtocol& protocol) {
            OutlineJobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, tool},
                        host, protocol)
                .EngraveAllFilled();
        });
    const QList<QByteArray> joined =
        killAndResume({"outline", "filled", kOrnament, "--width", "200"}, expected, false, 11);
    // Killed inside a border (most of the lines are), the laser goes off for the join and the
    // border's opening line comes again; between borders nothing is needed.
    if (!joined.isEmpty()) {
        EXPECT_EQ(joined.front(), "0,0,-1;");
        EXPECT_EQ(joined.back(), "0,0,1;");
    }
}

// Started from a row, the engraving sends the lines of a whole run from that row's first line
// on, after a join that sends the opening line again; a row beyond the picture is refused.
TEST_F(ResumeBatch, EngravingStartedFromARowSendsTheRestOfOneRun) {
    ASSERT_TRUE(photo(48, 40).save(path("photo.bmp")));
    PictureFileResult file = loadPictureFile(path("photo.bmp"));
    const QList<QByteArray> expected =
        LinesSentBy(MoveRules::Engraving, {{JobField::FinishedWidth, "48"}},
                    [&](JobHost& host, MoveProtocol& protocol) {
                        EngravePicture(file.picture, host, protocol);
                    });
    const auto run = [&](const QString& from) {
        QProcess job;
        job.start(kProgram, QStringList{"--config", path("cnc.ini"), "--port", device, "engrave",
                                        path("photo.bmp"), "--width", "48", "--from", from});
        for (int waited = 0; waited < 120000 && !job.waitForFinished(20); waited += 20) drain();
        errors = QString::fromUtf8(job.readAllStandardError());
        return job.exitStatus() == QProcess::NormalExit ? job.exitCode() : -1;
    };
    EXPECT_EQ(run("41"), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("номера от 1 до 40"))) << qPrintable(errors);
    EXPECT_EQ(run("17"), 0) << qPrintable(errors);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("после строки (\\d+); подвод: (\\d+)")).match(errors);
    ASSERT_TRUE(match.hasMatch()) << qPrintable(errors);
    const int skipped = match.captured(1).toInt();
    const int join = match.captured(2).toInt();
    EXPECT_GT(skipped, 16 * 30) << "the rows before row 17 (each over 30 dark pixels) are not sent";
    const QList<QByteArray> all = served();
    ASSERT_EQ(all.size(), expected.size() - skipped + join);
    EXPECT_EQ(all.mid(join), expected.mid(skipped));
    ASSERT_GT(join, 0);
    EXPECT_EQ(all[join - 1], expected.front()) << "the opening line is sent again";
    EXPECT_FALSE(QFile::exists(path("cnc.journal"))) << "a finished job removes its journal";
}

TEST_F(ResumeBatch, AJournalOfAnotherJobIsRefusedBeforeAnyLine) {
    ASSERT_TRUE(photo(48, 40).save(path("photo.bmp")));
    ASSERT_TRUE(photo(40, 40).save(path("other.bmp")));
    runAndKill({"engrave", path("photo.bmp"), "--width", "48"}, 100);
    EXPECT_EQ(resume({"engrave", path("photo.bmp"), "--width", "60"}), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("ширина: в журнале «48», сейчас «60»")))
        << qPrintable(errors);
    EXPECT_EQ(resume({"engrave", path("other.bmp"), "--width", "48"}), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("картинка"))) << qPrintable(errors);
    EXPECT_TRUE(errors.contains(QStringLiteral("размер картинки"))) << qPrintable(errors);
    EXPECT_TRUE(LoggedLines(path("after.log"), "> ").isEmpty());
    EXPECT_TRUE(QFile::exists(path("cnc.journal"))) << "a refused resume keeps the journal";
    // A height map changes the lines as much as a size does.
    QFile map(path("map.csv"));
    ASSERT_TRUE(map.open(QIODevice::WriteOnly));
    map.write(
        "column,row,x_mm,y_mm,sample,value,z_mm\n1,1,0,0,0,0,0\n2,1,10,0,0,0,0.5\n"
        "1,2,0,10,0,0,0\n2,2,10,10,0,0,0.5\n");
    map.close();
    EXPECT_EQ(resume({"engrave", path("photo.bmp"), "--width", "48", "--surface", map.fileName()}),
              1);
    EXPECT_TRUE(errors.contains(QStringLiteral("карта высот"))) << qPrintable(errors);
    EXPECT_TRUE(LoggedLines(path("after.log"), "> ").isEmpty());
    const int before = int(LoggedLines(path("before.log"), "> ").size());
    EXPECT_EQ(served().size(), before) << "nothing reached the machine after the kill";
}

// The probe's server: its built-in surface is what both runs measure.
class ResumeScan : public ResumeBatch {
protected:
    QStringList serverOptions() const override { return {"--probe"}; }
    QByteArray exported(const QString& name) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        return file.readAll();
    }
};

TEST_F(ResumeScan, AScanKilledAndResumedGivesTheHeightMapOfOneScan) {
    const QStringList scan = {"scan", "--mesh", "48,31"};
    QProcess whole;
    whole.start(kProgram, QStringList{"--config", path("cnc.ini"), "--port", device} + scan +
                              QStringList{"--export", path("whole.csv")});
    for (int waited = 0; waited < 60000 && !whole.waitForFinished(20); waited += 20) drain();
    ASSERT_EQ(whole.exitCode(), 0);
    const int wholeLines = int(served().size());
    // A second server for the interrupted scan, over the same surface.
    printed.clear();
    device = server.start({"--config", path("cnc.ini"), "serve-sim", "--probe"});
    ASSERT_FALSE(device.isEmpty());

    std::mt19937 random(5);
    runAndKill(scan + QStringList{"--export", path("halves.csv")},
               std::uniform_int_distribution<int>(wholeLines / 5, wholeLines * 4 / 5)(random));
    EXPECT_EQ(resume(scan + QStringList{"--export", path("halves.csv")}), 0) << qPrintable(errors);
    const QRegularExpressionMatch note =
        QRegularExpression(QStringLiteral("после строки (\\d+) из журнала")).match(errors);
    EXPECT_GT(note.captured(1).toInt(), 0) << "the samples kept are not probed again";
    EXPECT_EQ(exported("halves.csv"), exported("whole.csv"));
    EXPECT_FALSE(QFile::exists(path("cnc.journal")));
}

// Started from a chosen section with --from: the machine gets the joining travel, then the lines
// of a whole run from that section's first line on.
class StartFromBatch : public ResumeBatch {
protected:
    // Runs `words` with --from `number` to its end; returns the exit status.
    int startFrom(const QStringList& words, int number) {
        QProcess job;
        job.start(kProgram, QStringList{"--config", path("cnc.ini"), "--port", device, "--log",
                                        path("from.log"), "--from", QString::number(number)} +
                                words);
        for (int waited = 0; waited < 120000 && !job.waitForFinished(20); waited += 20) drain();
        EXPECT_EQ(job.state(), QProcess::NotRunning);
        errors = QString::fromUtf8(job.readAllStandardError());
        return job.exitStatus() == QProcess::NormalExit ? job.exitCode() : -1;
    }
};

TEST_F(StartFromBatch, MillingFromAFigureSendsTheRestOfOneRunAfterASafeTravel) {
    PictureLoadResult picture = loadPictureLayers(kOrnament);
    ASSERT_EQ(picture.status, PictureLoadStatus::Loaded);
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    const std::vector<std::int32_t> order = darkFiguresDeepestFirst(analysis);
    ASSERT_GT(order.size(), 2u);
    const std::int32_t figure = order[order.size() / 2];
    CutterSize cutter;
    ToolPosition tool;
    const QList<QByteArray> whole = LinesSentBy(
        MoveRules::Milling,
        {{JobField::FinishedWidth, "200"}, {JobField::Depth, "2"}, {JobField::Diameter, "3"}},
        [&](JobHost& host, MoveProtocol& protocol) {
            MillJobs(
                {layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, cutter, tool},
                host, protocol)
                .MillAll();
        });
    const QStringList words = {"mill",    "all", kOrnament,    "--width", "200",
                               "--depth", "2",   "--diameter", "3"};
    ASSERT_EQ(startFrom(words, figure), 0) << qPrintable(errors);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Начато с номера (\\d+) после строки (\\d+); подвод: "
                                          "(\\d+)"))
            .match(errors);
    ASSERT_TRUE(match.hasMatch()) << qPrintable(errors);
    const int skipped = match.captured(2).toInt();
    const int join = match.captured(3).toInt();
    ASSERT_GT(skipped, 0);
    ASSERT_LT(skipped, whole.size());
    // Between figures the cutter stands at the surface, and the figure's travel starts there.
    EXPECT_EQ(sumOf(whole.mid(0, skipped), true).z, 0);
    const QList<QByteArray> all = served();
    ASSERT_EQ(all.size(), join + whole.size() - skipped);
    EXPECT_EQ(all.mid(join), whole.mid(skipped));
    // From the job's start at the surface the tool only travels, never below the surface.
    ASSERT_GE(join, 1);
    for (const QByteArray& line : all.mid(0, join))
        EXPECT_TRUE(line.endsWith(",0;")) << line.data();
    Sum reached = sumOf(all.mid(0, join), true);
    Sum target = sumOf(whole.mid(0, skipped), true);
    EXPECT_EQ(reached, target) << "the travel ends where the figure's lines start";
    EXPECT_FALSE(QFile::exists(path("cnc.journal"))) << "a finished job removes its journal";
}

TEST_F(StartFromBatch, ANumberBeyondTheJobIsRefusedBeforeAnyLine) {
    ASSERT_TRUE(photo(48, 40).save(path("photo.bmp")));
    EXPECT_EQ(startFrom({"engrave", path("photo.bmp"), "--width", "48"}, 41), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("номера от 1 до 40"))) << qPrintable(errors);
    EXPECT_TRUE(LoggedLines(path("from.log"), "> ").isEmpty());
    EXPECT_TRUE(served().isEmpty());
    EXPECT_FALSE(QFile::exists(path("cnc.journal")));
}

// In process: an engraving started from row k sends the whole run's lines from the first line
// that reaches row k (found from the lines' own Y), after a travel and the opening line again.
TEST(StartFromSection, EngravingFromARowSendsTheWholeRunFromThatRow) {
    QTemporaryDir dir;
    ASSERT_TRUE(photo(30, 24).save(dir.filePath("photo.bmp")));
    const auto engraving = [&](std::optional<ResumeStart> start, std::int64_t* skipped) {
        PictureFileResult file = loadPictureFile(dir.filePath("photo.bmp"));
        return LinesSentBy(MoveRules::Engraving, {{JobField::FinishedWidth, "30"}},
                           [&](JobHost& host, MoveProtocol& protocol) {
                               protocol.trackJob(nullptr, start);
                               EngravePicture(file.picture, host, protocol);
                               protocol.requireSectionReached();
                               if (skipped) *skipped = protocol.skippedLines();
                           });
    };
    const QList<QByteArray> whole = engraving(std::nullopt, nullptr);
    constexpr qint64 kPixel = 200;  // 30 mm over 30 pixels at 0.005 mm a step
    for (const int row : {2, 13, 24}) {
        // Line 0 opens the engraving; line 1 reaches row 1 (every row has dark pixels).
        std::vector<qint64> y(std::size_t(whole.size()), 0);
        for (qsizetype i = 1; i < whole.size(); ++i)
            y[i] = y[i - 1] + whole[i].split(',').value(1).toLongLong();
        qsizetype first = 1;
        while (first < whole.size() && y[first] - y[1] < (row - 1) * kPixel) ++first;
        std::int64_t skipped = 0;
        const QList<QByteArray> lines = engraving(startFromSection(row), &skipped);
        EXPECT_EQ(skipped, first) << "row " << row;
        ASSERT_EQ(lines.size(), 2 + whole.size() - first) << "row " << row;
        EXPECT_EQ(lines.mid(2), whole.mid(first)) << "row " << row;
        // The travel's 0 ends the engraving at the controller, then the opening line again.
        EXPECT_TRUE(lines[0].endsWith(",0;")) << lines[0].data();
        EXPECT_EQ(sumOf(lines.mid(0, 1), false), sumOf(whole.mid(0, first), false));
        EXPECT_EQ(lines[1], whole[0]);
    }
}

}  // namespace
