#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/PtyPair.h"
#include "tests/support/RunningCnc.h"

// The grbl: port against `cnc serve-sim --grbl` on real pseudo-terminals, and lost links on
// both kinds of port, end to end through the cnc executable: where a stopped job says the
// machine stands, when a job ends, what a probe measures, and how a broken line ends a job.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);
constexpr double kRatio = 0.005;

using Point = std::array<double, 3>;

class GrblBatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        writeConfig("");
        ornament = QFileInfo(kProgram).absolutePath() + "/ornament.bmp";
        ASSERT_TRUE(QFileInfo::exists(ornament));
    }

    void writeConfig(const QByteArray& extra) {
        config = m_cnc.config = dir.filePath("cnc.ini");
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            "[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\n"
            "gcode_feed_probe=300\n" +
            extra);
    }

    QProcess* run(const QStringList& arguments) { return m_cnc.run(arguments); }
    static int finish(QProcess* process, QString* error = nullptr, int timeoutMs = 120000) {
        return RunningCnc::finish(process, error, timeoutMs);
    }

    // The virtual GRBL on its pseudo-terminal; returns its device.
    QString startGrbl(QProcess** server, const QStringList& options) {
        *server = run(QStringList{"serve-sim", "--grbl"} + options);
        EXPECT_TRUE((*server)->waitForReadyRead(5000));
        return QString::fromLocal8Bit((*server)->readLine()).trimmed();
    }

    // Ends the server at once and returns its whole transcript after the device line.
    static QString stopGrbl(QProcess* server, const QByteArray& seen = {}) {
        ::kill(pid_t(server->processId()), SIGTERM);
        EXPECT_TRUE(server->waitForFinished(5000));
        return QString::fromUtf8(seen + server->readAllStandardOutput());
    }

    static Point transcriptPoint(const QString& transcript, const QString& prefix) {
        for (const QString& line : transcript.split(u'\n')) {
            if (!line.startsWith(prefix)) continue;
            const QStringList values = line.mid(prefix.size()).split(u',');
            return {values.value(0).toDouble(), values.value(1).toDouble(),
                    values.value(2).toDouble()};
        }
        ADD_FAILURE() << "no " << prefix.toStdString() << " in the transcript";
        return {};
    }

    // The point a stop or failure message names: "X 1,234; Y 5,678; Z 0,000 мм".
    static std::optional<Point> messagePoint(const QString& message) {
        static const QRegularExpression point(
            QStringLiteral("X (-?\\d+,\\d+); Y (-?\\d+,\\d+); Z (-?\\d+,\\d+) мм"));
        const QRegularExpressionMatch match = point.match(message);
        if (!match.hasMatch()) return std::nullopt;
        Point at{};
        for (int i = 0; i < 3; ++i) at[i] = match.captured(i + 1).replace(u',', u'.').toDouble();
        return at;
    }

    QTemporaryDir dir;
    QString config;
    QString ornament;
    RunningCnc m_cnc;
};

// Twenty "mill all" runs on the ornament, each stopped by Ctrl+C at a random moment of its
// first seconds (travel, plunge or cut), four at a time: every stop message names the point
// where the virtual GRBL ends, and the cutter ends at or above the surface it started on.
TEST_F(GrblBatch, StopsAtRandomMomentsNameTheRealPointAndLeaveTheCutterUp) {
    constexpr int kRuns = 20;
    constexpr int kAtOnce = 4;
    std::mt19937 random(20);
    std::uniform_int_distribution<int> moment(50, 4000);
    for (int round = 0; round < kRuns / kAtOnce; ++round) {
        struct Run {
            QProcess* server = nullptr;
            QProcess* mill = nullptr;
            QByteArray seen;
            int stopAtMs = 0;
            std::optional<qint64> startedMs;
            bool interrupted = false;
        };
        std::vector<Run> runs(kAtOnce);
        for (Run& each : runs) {
            const QString device = startGrbl(&each.server, {"--delay", "2"});
            each.mill = run({"--port", "grbl:" + device, "mill", "all", ornament});
            each.stopAtMs = moment(random);
        }
        QElapsedTimer clock;
        clock.start();
        // The moment counts from the first G-code line that reached the machine.
        for (int left = kAtOnce; left > 0 && clock.elapsed() < 120000;) {
            for (Run& each : runs) {
                if (each.interrupted) continue;
                each.server->waitForReadyRead(1);
                each.seen += each.server->readAllStandardOutput();
                if (!each.startedMs && each.seen.contains("> G")) each.startedMs = clock.elapsed();
                if (each.startedMs && clock.elapsed() >= *each.startedMs + each.stopAtMs) {
                    ::kill(pid_t(each.mill->processId()), SIGINT);
                    each.interrupted = true;
                    --left;
                }
            }
        }
        for (Run& each : runs) {
            SCOPED_TRACE(QStringLiteral("round %1, stop %2 ms after the first line")
                             .arg(round)
                             .arg(each.stopAtMs)
                             .toStdString());
            ASSERT_TRUE(each.interrupted);
            QString error;
            EXPECT_EQ(finish(each.mill, &error, 60000), 1);
            const QString transcript = stopGrbl(each.server, each.seen);
            const Point end = transcriptPoint(transcript, "# MPos ");
            const auto said = messagePoint(error);
            ASSERT_TRUE(said.has_value()) << error.toStdString();
            EXPECT_TRUE(error.contains(QStringLiteral("Работа остановлена")))
                << error.toStdString();
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR((*said)[i], end[i], 0.01)
                    << "axis " << i << ": " << error.toStdString();
            EXPECT_GE(end[2], -1e-3) << "the cutter is at or above the surface";
            EXPECT_FALSE(transcript.contains("ALARM")) << "the reset came after the hold";
            EXPECT_TRUE(transcript.contains("# spindle M5")) << "the spindle is off";
        }
    }
}

// A picture small enough to be milled whole in seconds: two dark rectangles, one with a hole.
QString smallPicture(const QTemporaryDir& dir) {
    const QString path = dir.filePath("small.bmp");
    QFile file(path);
    // A 24-bit BMP, 40 × 30, written by hand so that the test needs no QtGui.
    constexpr int kWidth = 40, kHeight = 30;
    const int row = (kWidth * 3 + 3) / 4 * 4;
    QByteArray bmp;
    const auto le32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i) bmp.append(char((v >> (8 * i)) & 0xFF));
    };
    const auto le16 = [&](quint16 v) {
        bmp.append(char(v & 0xFF));
        bmp.append(char(v >> 8));
    };
    bmp.append("BM");
    le32(54 + row * kHeight);
    le32(0);
    le32(54);
    le32(40);
    le32(kWidth);
    le32(kHeight);
    le16(1);
    le16(24);
    le32(0);
    le32(row * kHeight);
    le32(2835);
    le32(2835);
    le32(0);
    le32(0);
    for (int y = kHeight - 1; y >= 0; --y) {
        QByteArray line;
        for (int x = 0; x < kWidth; ++x) {
            const bool dark = (x >= 4 && x <= 20 && y >= 3 && y <= 15 &&
                               !(x >= 9 && x <= 14 && y >= 7 && y <= 11)) ||
                              (x >= 25 && x <= 35 && y >= 8 && y <= 25);
            const char grey = dark ? char(0) : char(255);
            line.append(QByteArray(3, grey));
        }
        line.append(QByteArray(row - line.size(), '\0'));
        bmp.append(line);
    }
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bmp);
    return path;
}

// The exchange log of a grbl: port is G-code and GRBL's answers; the job ends only when GRBL
// reports Idle at the job's end point with the spindle off, so the server, ended the moment the
// batch has exited, stands there.
TEST_F(GrblBatch, MillAllEndsOnlyAfterIdleAtTheEndPointAndLogsTheGcode) {
    const QStringList job = {"--width", "20", "--depth", "1", "mill", "all", smallPicture(dir)};
    const QString simLog = dir.filePath("sim.log");
    QString error;
    ASSERT_EQ(finish(run(QStringList{"--port", "sim", "--log", simLog} + job), &error), 0)
        << error.toStdString();
    Point ours{};
    QFile sim(simLog);
    ASSERT_TRUE(sim.open(QIODevice::ReadOnly));
    for (const QByteArray& line : sim.readAll().split('\n')) {
        if (!line.startsWith("> ")) continue;
        const QList<QByteArray> fields = line.mid(2).chopped(1).split(',');
        for (int i = 0; i < 3; ++i) ours[i] += fields.value(i).toLongLong() * kRatio;
    }

    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {"--delay", "2"});
    const QString log = dir.filePath("grbl.log");
    ASSERT_EQ(finish(run(QStringList{"--port", "grbl:" + device, "--log", log} + job), &error), 0)
        << error.toStdString();
    const QString transcript = stopGrbl(server);
    EXPECT_TRUE(transcript.contains("# state Idle")) << transcript.right(300).toStdString();
    EXPECT_TRUE(transcript.contains("# spindle M5")) << "no job ends with the spindle on";
    const Point end = transcriptPoint(transcript, "# MPos ");
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(end[i], ours[i], 1e-3) << "axis " << i;

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_TRUE(lines.contains("> G21")) << "the G-code went to the log, not our move lines";
    for (const QByteArray& line : lines)
        EXPECT_FALSE(line.startsWith("> ") && line.endsWith(';')) << line.toStdString();
    qsizetype lastOk = -1, lastReport = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i] == "< ok") lastOk = i;
        if (lines[i].startsWith("< <")) lastReport = i;
    }
    ASSERT_GE(lastOk, 0);
    ASSERT_GT(lastReport, lastOk) << "a report after the last ok";
    EXPECT_TRUE(lines[lastReport].startsWith("< <Idle|")) << lines[lastReport].toStdString();
    EXPECT_GT(std::count_if(lines.begin(), lines.end(),
                            [](const QByteArray& line) { return line.startsWith("> G1 "); }),
              20);
}

// The G-code lines ("> G…") of an exchange log.
QList<QByteArray> loggedGcode(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QList<QByteArray> lines;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("> G")) lines << line.mid(2);
    return lines;
}

// The value of `letter` in a G-code line, if it has one.
std::optional<double> word(const QByteArray& line, char letter) {
    for (const QByteArray& part : line.split(' '))
        if (part.startsWith(letter)) return part.mid(1).toDouble();
    return std::nullopt;
}

// "mill all" stopped by Ctrl+C while a border is cut, then run again with --resume on the same
// virtual GRBL: it ends where an uninterrupted run ends (within half a motor step, the rounding
// of the reported point), cuts no deeper than that run, travels to the border's start over
// the surface, and from its first cut on sends the uninterrupted run's G-code.
TEST_F(GrblBatch, MillAllStoppedInABorderAndResumedEndsWhereOneRunEnds) {
    const QStringList job = {"--width", "20", "--depth", "1", "mill", "all", smallPicture(dir)};
    QProcess* server = nullptr;
    QString device = startGrbl(&server, {"--delay", "2"});
    QString error;
    ASSERT_EQ(
        finish(
            run(QStringList{"--port", "grbl:" + device, "--log", dir.filePath("whole.log")} + job),
            &error),
        0)
        << error.toStdString();
    const QString whole = stopGrbl(server);
    const Point wholeEnd = transcriptPoint(whole, "# MPos ");
    const double wholeLowest = transcriptPoint(whole, "# lowest Z ")[0];
    const QList<QByteArray> wholeGcode = loggedGcode(dir.filePath("whole.log"));

    device = startGrbl(&server, {"--delay", "2"});
    QProcess* mill = run(QStringList{"--port", "grbl:" + device} + job);
    QByteArray seen;
    QElapsedTimer sinceCut;
    // Most of the job's time goes into cutting borders: some seconds after the first cut.
    while (!sinceCut.isValid() || sinceCut.elapsed() < 4000) {
        server->waitForReadyRead(10);
        seen += server->readAllStandardOutput();
        if (!sinceCut.isValid() && seen.contains("> G1 ")) sinceCut.start();
        ASSERT_EQ(mill->state(), QProcess::Running) << "the job ended before the stop";
    }
    ::kill(pid_t(mill->processId()), SIGINT);
    ASSERT_EQ(finish(mill, &error), 1);
    ASSERT_TRUE(error.contains(QStringLiteral("фреза поднята к поверхности")))
        << "stopped inside a border: " << error.toStdString();
    ASSERT_TRUE(QFile::exists(dir.filePath("cnc.journal")));

    const QString resumedLog = dir.filePath("resumed.log");
    ASSERT_EQ(
        finish(run(QStringList{"--port", "grbl:" + device, "--log", resumedLog, "--resume"} + job),
               &error),
        0)
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Продолжено после строки"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("cnc.journal")));
    const QString transcript = stopGrbl(server, seen);
    EXPECT_FALSE(transcript.contains("ALARM")) << "the stop's reset came after the hold";
    const Point end = transcriptPoint(transcript, "# MPos ");
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(end[i], wholeEnd[i], kRatio / 2 + 1e-4) << "axis " << i;
    EXPECT_GE(transcriptPoint(transcript, "# lowest Z ")[0], wholeLowest - 1e-3)
        << "no border is cut deeper than in one run";

    // The resumed run's lines are relative (G91) from where the stop left the machine.
    QFile log(resumedLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    static const QRegularExpression report(QStringLiteral("MPos:[-\\d.]+,[-\\d.]+,(-?[\\d.]+)"));
    const QRegularExpressionMatch opening = report.match(QString::fromUtf8(log.readAll()));
    ASSERT_TRUE(opening.hasMatch());
    double z = opening.captured(1).toDouble();
    const QList<QByteArray> resumed = loggedGcode(resumedLog);
    qsizetype firstCut = 0;
    for (; firstCut < resumed.size() && !resumed[firstCut].startsWith("G1 "); ++firstCut) {
        const QByteArray& line = resumed[firstCut];
        if (word(line, 'X') || word(line, 'Y')) {
            EXPECT_GE(z, -1e-3) << "travel below the surface: " << line.toStdString();
        }
        z += word(line, 'Z').value_or(0);
    }
    ASSERT_LT(firstCut, resumed.size());
    const QList<QByteArray> rest = resumed.mid(firstCut);
    ASSERT_LE(rest.size(), wholeGcode.size());
    EXPECT_EQ(rest, wholeGcode.mid(wholeGcode.size() - rest.size()))
        << "from the border's plunge on, the lines of one run";
}

// A job on the grbl: port killed mid-job leaves a journal that holds no point read from GRBL:
// GRBL may have run on through its buffer, so --resume refuses it and sends nothing.
TEST_F(GrblBatch, ResumeRefusesAJournalOfAKilledGrblJob) {
    const QStringList job = {"--width", "20", "--depth", "1", "mill", "all", smallPicture(dir)};
    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {"--delay", "2"});
    QProcess* mill = run(QStringList{"--port", "grbl:" + device} + job);
    QByteArray seen;
    while (!seen.contains("> G1 ")) {
        ASSERT_TRUE(server->waitForReadyRead(10000));
        seen += server->readAllStandardOutput();
    }
    ::kill(pid_t(mill->processId()), SIGKILL);
    ASSERT_TRUE(mill->waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(dir.filePath("cnc.journal")));
    const QString log = dir.filePath("refused.log");
    QString error;
    EXPECT_EQ(finish(run(QStringList{"--port", "grbl:" + device, "--log", log, "--resume"} + job),
                     &error),
              1);
    EXPECT_TRUE(error.contains(QStringLiteral("надёжного отчёта GRBL нет"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("на станок ничего не отправлено")));
    EXPECT_FALSE(QFile::exists(log) && !loggedGcode(log).isEmpty()) << "no line was sent";
    EXPECT_TRUE(QFile::exists(dir.filePath("cnc.journal")));
    stopGrbl(server, seen);
}

// A scan over a sloped surface: every sample is the surface's depth at its point on the height
// range's scale (5 mm), taken from GRBL's contact report after each rise has run, and no probe
// starts in contact.
TEST_F(GrblBatch, ScanOverASlopeSamplesTheSurfaceDepthAtEveryPoint) {
    // Z = -0,5 + 0,01·X - 0,008·Y: the scan goes towards -X and +Y from its start.
    const double z0 = -0.5, gx = 0.01, gy = -0.008;
    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {"--surface", "-0.5,0.01,-0.008", "--delay", "2"});
    const QString csv = dir.filePath("scan.csv");
    QString error;
    ASSERT_EQ(finish(run({"--port", "grbl:" + device, "--area", "20", "scan", "--mesh", "4,3",
                          "--export", csv}),
                     &error),
              0)
        << error.toStdString();
    const QString transcript = stopGrbl(server);
    EXPECT_FALSE(transcript.contains("ALARM")) << transcript.toStdString();

    QList<Point> contacts;
    static const QRegularExpression report(
        QStringLiteral("\\[PRB:(-?[\\d.]+),(-?[\\d.]+),(-?[\\d.]+):1\\]"));
    for (auto it = report.globalMatch(transcript); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        contacts.append({match.captured(1).toDouble(), match.captured(2).toDouble(),
                         match.captured(3).toDouble()});
    }
    ASSERT_EQ(contacts.size(), 12);

    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().trimmed().split('\n');
    ASSERT_EQ(rows.size(), 13);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        SCOPED_TRACE(rows[r].toStdString());
        const QList<QByteArray> fields = rows[r].split(',');
        const double x = fields[2].toDouble(), y = fields[3].toDouble();
        const auto contact = std::find_if(contacts.begin(), contacts.end(), [&](const Point& p) {
            return std::abs(std::abs(p[0]) - x) < 1e-3 && std::abs(std::abs(p[1]) - y) < 1e-3;
        });
        ASSERT_NE(contact, contacts.end());
        const double depth = -(z0 + gx * (*contact)[0] + gy * (*contact)[1]);
        EXPECT_NEAR((*contact)[2], -depth, 1e-3) << "the contact lies on the surface";
        EXPECT_EQ(fields[4].toInt(), int(std::nearbyint((5 - depth) / 5 * 255)));
    }
}

// The virtual GRBL killed in the middle of a job: the batch ends because the hang-up is seen
// (the message says the line broke), not by GRBL's silence limit, with the lost-link message,
// which never claims the cutter was raised.
TEST_F(GrblBatch, VirtualGrblKilledMidJobEndsTheJobAtOnceAsALostLink) {
    QProcess* server = nullptr;
    const QString device = startGrbl(&server, {"--delay", "2"});
    QProcess* mill = run({"--port", "grbl:" + device, "mill", "all", ornament});
    QByteArray seen;
    for (int i = 0; i < 600 && seen.count("> G1") < 40; ++i) {
        server->waitForReadyRead(100);
        seen += server->readAllStandardOutput();
    }
    ASSERT_GE(seen.count("> G1"), 40);
    ::kill(pid_t(server->processId()), SIGKILL);
    QString error;
    EXPECT_EQ(finish(mill, &error, 30000), 1);
    EXPECT_TRUE(error.contains(QStringLiteral("линия оборвалась"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Связь со станком потеряна: порт grbl:") + device))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("лазер или шпиндель")));
    EXPECT_FALSE(error.contains(QStringLiteral("поднята")));
}

// A controller of our own protocol that answers `lines` lines and then hangs up, or (hangUp
// false) falls silent with the line still up. Returns whether all of them came.
bool serveOurProtocol(PtyPair& pty, int lines, bool hangUp) {
    int answered = 0;
    QByteArray pending;
    while (answered < lines) {
        const QByteArray got = pty.receive(1, 5000);
        if (got.isEmpty()) return false;
        pending += got;
        for (qsizetype end = pending.indexOf(';'); end >= 0 && answered < lines;
             end = pending.indexOf(';')) {
            pending.remove(0, end + 1);
            pty.send("OK\r\n");
            ++answered;
        }
    }
    if (hangUp) pty.hangUp();
    return true;
}

// The hang-up is what ends the job, not the reply limit (120 s by default): the message says
// the line broke.
TEST_F(GrblBatch, OurControllerHangingUpAfterFortyLinesEndsTheJobAtOnce) {
    PtyPair pty;
    ASSERT_TRUE(pty.isOpen());
    const QString device = pty.devicePath();
    bool servedForty = false;
    std::thread controller([&] { servedForty = serveOurProtocol(pty, 40, true); });
    QString error;
    const int status = finish(run({"--port", device, "mill", "all", ornament}), &error, 60000);
    controller.join();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(servedForty);
    EXPECT_TRUE(error.contains(QStringLiteral("Связь со станком потеряна: порт ") + device))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("линия оборвалась"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("поднята")));
}

// A controller that falls silent without hanging up ends the job when the limit runs out: the
// setting port_timeout when no --timeout is given.
TEST_F(GrblBatch, OurControllerFallingSilentEndsTheJobWhenTheLimitRunsOut) {
    writeConfig("port_timeout=1\n");
    PtyPair pty;
    ASSERT_TRUE(pty.isOpen());
    bool servedForty = false;
    std::thread controller([&] { servedForty = serveOurProtocol(pty, 40, false); });
    QString error;
    const int status =
        finish(run({"--port", pty.devicePath(), "mill", "all", ornament}), &error, 60000);
    controller.join();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(servedForty);
    EXPECT_TRUE(error.contains(QStringLiteral("контроллер не ответил «OK» за 1 с")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Связь со станком потеряна")));
}

}  // namespace
