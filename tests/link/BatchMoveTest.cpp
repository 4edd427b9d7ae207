#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "tests/support/PtyPair.h"

// End to end: the `cnc` executable's `move` and `serve-sim` commands, through real
// pseudo-terminals, as a user runs them from a shell.

namespace {

class BatchMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        writeConfig("0.005");
    }
    void writeConfig(const char* ratioX) {
        QFile file(path("cnc.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("[CNC]\nSM_X_ratio=") + ratioX +
                   "\nSM_Y_ratio=0,005\nSM_Z_ratio=0.005\nPort=/dev/cnc-no-such-port\n");
    }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QByteArray readFile(const char* name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }
    // Starts cnc with the temporary configuration and the given words.
    void start(QProcess& process, const QStringList& words) {
        process.start(QStringLiteral(CNC_EXECUTABLE),
                      QStringList{"--config", path("cnc.ini")} + words);
        ASSERT_TRUE(process.waitForStarted(5000));
    }
    // Starts `cnc serve-sim` with the given options; returns the device it offers.
    QString startServer(QProcess& server, const QStringList& options) {
        start(server, QStringList{"serve-sim"} + options);
        EXPECT_TRUE(server.waitForReadyRead(5000));
        return QString::fromLocal8Bit(server.readLine()).trimmed();
    }
    // What the server shows, read until it ends with `last` (or about five seconds passed).
    static QByteArray shownBy(QProcess& server, const QByteArray& last) {
        QByteArray shown;
        for (int i = 0; i < 50 && !shown.endsWith(last); ++i) {
            server.waitForReadyRead(100);
            shown += server.readAllStandardOutput();
        }
        return shown;
    }
    // Runs cnc to its end; returns the exit status.
    int run(const QStringList& words) {
        QProcess process;
        start(process, words);
        EXPECT_TRUE(process.waitForFinished(10000));
        m_stdout = process.readAllStandardOutput();
        m_stderr = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QTemporaryDir m_dir;
    QByteArray m_stdout;
    QString m_stderr;
};

TEST_F(BatchMoveTest, MoveThroughServeSimOnAPseudoTerminal) {
    QProcess server;
    const QString device = startServer(server, {});
    ASSERT_TRUE(device.startsWith(QLatin1String("/dev/"))) << qPrintable(device);

    EXPECT_EQ(run({"--port", device, "move", "1", "-1", "0,5", "--log", path("exchange.log")}), 0)
        << qPrintable(m_stderr);
    EXPECT_TRUE(m_stdout.isEmpty());
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("Отправлено строк: 1"))) << qPrintable(m_stderr);
    EXPECT_EQ(readFile("exchange.log"), QByteArray("> 200,-200,100;\n< OK\n"));

    // A negative first number is an argument, not an option.
    EXPECT_EQ(run({"--port", device, "move", "-1", "0", "0"}), 0) << qPrintable(m_stderr);

    EXPECT_EQ(shownBy(server, "> -200,0,0;\n< OK\n"),
              QByteArray("> 200,-200,100;\n< OK\n> -200,0,0;\n< OK\n"));
    ::kill(pid_t(server.processId()), SIGTERM);
    EXPECT_TRUE(server.waitForFinished(3000));
    EXPECT_EQ(server.exitCode(), 0);
}

// With --probe and --delay: each answer is held back, and the probe's request (0,5 mm of Z is
// 100 steps) is answered with a sample before its "OK". A server holding its answer longer
// than the client waits has answered nothing when the client gives up; asked to end while it
// holds an answer, it ends at once.
TEST_F(BatchMoveTest, ServeSimProbeAndDelay) {
    QProcess probe;
    const QString device = startServer(probe, {"--probe", "--delay", "300"});
    EXPECT_EQ(run({"--port", device, "move", "0", "0", "0,5"}), 0) << qPrintable(m_stderr);
    const QString shown = QString::fromUtf8(shownBy(probe, "< OK\n"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^> 0,0,100;\n< \\d+\n< OK\n$")).match(shown).hasMatch())
        << qPrintable(shown);

    QProcess holding;
    const QString slow = startServer(holding, {"--delay", "60000"});
    EXPECT_EQ(run({"--port", slow, "--timeout", "1", "move", "1", "0", "0"}), 1);
    ::kill(pid_t(holding.processId()), SIGTERM);
    EXPECT_TRUE(holding.waitForFinished(3000));
    EXPECT_EQ(holding.readAllStandardOutput(), QByteArray("> 200,0,0;\n"));
    ::kill(pid_t(probe.processId()), SIGTERM);
    EXPECT_TRUE(probe.waitForFinished(3000));
}

TEST_F(BatchMoveTest, ASilentControllerTimesOut) {
    PtyPair silent;
    ASSERT_TRUE(silent.isOpen());
    EXPECT_EQ(run({"--port", silent.devicePath(), "--timeout", "1", "move", "1", "0", "0"}), 1);
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("не ответил «OK» за 1 с")))
        << qPrintable(m_stderr);
    EXPECT_EQ(silent.receive(8), QByteArray("200,0,0;"));
}

// Ctrl+C: the first asks the move to stop (the line in flight is still awaited), the second
// abandons it at once; both end with status 1. SIGTERM and SIGHUP (a log-out, a closed
// terminal) do the same.
TEST_F(BatchMoveTest, CtrlCStopsAndASecondAbandons) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        for (const bool twice : {false, true}) {
            SCOPED_TRACE(twice ? "twice" : "once");
            SCOPED_TRACE(signal);
            PtyPair machine;
            QProcess process;
            start(process, {"--port", machine.devicePath(), "move", "0", "0", "-1"});
            ASSERT_EQ(machine.receive(8, 5000), QByteArray("0,0,-200;"));
            ::kill(pid_t(process.processId()), signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (twice) {
                ::kill(pid_t(process.processId()), signal);
            } else {
                EXPECT_EQ(process.state(), QProcess::Running);  // still waiting for the answer
                machine.send("OK\r\n");
            }
            ASSERT_TRUE(process.waitForFinished(5000));
            EXPECT_EQ(process.exitCode(), 1);
            const QString errors = QString::fromUtf8(process.readAllStandardError());
            EXPECT_TRUE(
                errors.contains(twice ? QStringLiteral("прервана") : QStringLiteral("Остановлено")))
                << qPrintable(errors);
        }
}

struct MoveWords {
    const char* name;
    QStringList words;
    int status;
    QByteArray log;    // the exchange written with --log
    const char* says;  // a part of standard error
};

void PrintTo(const MoveWords& words, std::ostream* out) {
    *out << words.name;
}

class BatchMoveWords : public BatchMoveTest, public ::testing::WithParamInterface<MoveWords> {};

TEST_P(BatchMoveWords, ExitStatusLineAndMessage) {
    const MoveWords& c = GetParam();
    if (std::string(c.name) == "ZeroRatio") writeConfig("0");
    EXPECT_EQ(run(QStringList{"--log", path("exchange.log")} + c.words), c.status)
        << qPrintable(m_stderr);
    if (c.status != 2) {
        EXPECT_EQ(readFile("exchange.log"), c.log);
    }
    EXPECT_TRUE(m_stderr.contains(QString::fromUtf8(c.says))) << qPrintable(m_stderr);
    EXPECT_TRUE(m_stdout.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cnc, BatchMoveWords,
    ::testing::Values(
        MoveWords{"DecimalPoint",
                  {"--port", "sim", "move", "0.0075", "-0.0025", "1e-2"},
                  0,
                  "> 2,0,2;\n< OK\n",
                  "Отправлено строк: 1"},
        MoveWords{"OptionsAfterTheCommand",
                  {"move", "-1", "-0,5", "0", "--port", "sim"},
                  0,
                  "> -200,-100,0;\n< OK\n",
                  "Отправлено строк: 1"},
        MoveWords{"DoubleDashEndsOptions",
                  {"--port", "sim", "move", "--", "-2", "0", "-3"},
                  0,
                  "> -400,0,-600;\n< OK\n",
                  "Отправлено строк: 1"},
        MoveWords{"DryRunSendsNothing",
                  {"--dry-run", "move", "1", "1", "1"},
                  0,
                  "",
                  "Отправлено строк: 0"},
        MoveWords{"PortCannotOpen", {"move", "1", "1", "1"}, 1, "", "Ошибка открытия Com-порта"},
        MoveWords{"TooFewNumbers", {"--port", "sim", "move", "1", "1"}, 2, "", "DX DY DZ"},
        MoveWords{
            "NotANumber", {"--port", "sim", "move", "1", "1", "x"}, 2, "", "DZ «x» — не число"},
        MoveWords{"TooFar", {"--port", "sim", "move", "1e10", "0", "0"}, 1, "", "слишком велико"},
        MoveWords{"ZeroRatio", {"--port", "sim", "move", "1", "0", "0"}, 1, "", "оси X"}),
    [](const ::testing::TestParamInfo<MoveWords>& info) { return std::string(info.param.name); });

}  // namespace
