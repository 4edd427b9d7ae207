#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "PtyPair.h"

// End to end: the `cnc` executable's `move` and `serve-sim` commands, through real
// pseudo-terminals, as a user runs them from a shell.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);

class BatchMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        writeConfig("0.005");
    }
    void writeConfig(const char* ratioX) {
        QFile file(m_dir.filePath(QStringLiteral("cnc.ini")));
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
        process.start(kProgram, QStringList{QStringLiteral("--config"), path("cnc.ini")} + words);
        ASSERT_TRUE(process.waitForStarted(5000));
    }
    // Runs cnc to its end; returns the exit status.
    int run(const QStringList& words, int timeoutMs = 10000) {
        QProcess process;
        start(process, words);
        EXPECT_TRUE(process.waitForFinished(timeoutMs));
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
    start(server, {QStringLiteral("serve-sim")});
    ASSERT_TRUE(server.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(server.readLine()).trimmed();
    ASSERT_TRUE(device.startsWith(QLatin1String("/dev/"))) << qPrintable(device);

    EXPECT_EQ(run({QStringLiteral("--port"), device, QStringLiteral("move"), QStringLiteral("1"),
                   QStringLiteral("-1"), QStringLiteral("0,5"), QStringLiteral("--log"),
                   path("exchange.log")}),
              0)
        << qPrintable(m_stderr);
    EXPECT_TRUE(m_stdout.isEmpty());
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("Отправлено строк: 1"))) << qPrintable(m_stderr);
    EXPECT_EQ(readFile("exchange.log"), QByteArray("> 200,-200,100;\n< OK\n"));

    // A negative first number is an argument, not an option.
    EXPECT_EQ(run({QStringLiteral("--port"), device, QStringLiteral("move"), QStringLiteral("-1"),
                   QStringLiteral("0"), QStringLiteral("0")}),
              0)
        << qPrintable(m_stderr);

    QByteArray shown;
    for (int i = 0; i < 50 && !shown.contains("> -200,0,0;\n< OK\n"); ++i) {
        server.waitForReadyRead(100);
        shown += server.readAllStandardOutput();
    }
    EXPECT_EQ(shown, QByteArray("> 200,-200,100;\n< OK\n> -200,0,0;\n< OK\n"));

    ::kill(pid_t(server.processId()), SIGTERM);
    EXPECT_TRUE(server.waitForFinished(3000));
    EXPECT_EQ(server.exitCode(), 0);
}

TEST_F(BatchMoveTest, ASilentControllerTimesOut) {
    PtyPair silent;
    ASSERT_TRUE(silent.isOpen());
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(run({QStringLiteral("--port"), silent.devicePath(), QStringLiteral("--timeout"),
                   QStringLiteral("1"), QStringLiteral("move"), QStringLiteral("1"),
                   QStringLiteral("0"), QStringLiteral("0")}),
              1);
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_TRUE(m_stderr.contains(QStringLiteral("не ответил"))) << qPrintable(m_stderr);
    EXPECT_EQ(silent.receive(8), QByteArray("200,0,0;"));
}

// Ctrl+C: the first asks the move to stop (the line in flight is still awaited), the second
// abandons it at once; both end with status 1.
TEST_F(BatchMoveTest, CtrlCStopsAndASecondAbandons) {
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "twice" : "once");
        PtyPair machine;
        QProcess process;
        start(process, {QStringLiteral("--port"), machine.devicePath(), QStringLiteral("move"),
                        QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("-1")});
        ASSERT_EQ(machine.receive(8, 5000), QByteArray("0,0,-200;"));
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(process.processId()), SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (twice) {
            ::kill(pid_t(process.processId()), SIGINT);
        } else {
            EXPECT_EQ(process.state(), QProcess::Running);  // still waiting for the answer
            machine.send("OK\r\n");
        }
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_LT(clock.elapsed(), 1500);
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
    if (QString::fromLatin1(c.name) == QLatin1String("ZeroRatio")) writeConfig("0");
    EXPECT_EQ(run(QStringList{QStringLiteral("--log"), path("exchange.log")} + c.words), c.status)
        << qPrintable(m_stderr);
    if (c.status != 2) {
        EXPECT_EQ(readFile("exchange.log"), c.log);
    }
    EXPECT_TRUE(m_stderr.contains(QString::fromUtf8(c.says))) << qPrintable(m_stderr);
    EXPECT_TRUE(m_stdout.isEmpty());
}

const QString kSim = QStringLiteral("sim");

INSTANTIATE_TEST_SUITE_P(
    Cnc, BatchMoveWords,
    ::testing::Values(
        MoveWords{"DecimalPoint",
                  {"--port", kSim, "move", "0.0075", "-0.0025", "1e-2"},
                  0,
                  "> 2,0,2;\n< OK\n",
                  "Отправлено строк: 1"},
        MoveWords{"OptionsAfterTheCommand",
                  {"move", "-1", "-0,5", "0", "--port", kSim},
                  0,
                  "> -200,-100,0;\n< OK\n",
                  "Отправлено строк: 1"},
        MoveWords{"DoubleDashEndsOptions",
                  {"--port", kSim, "move", "--", "-2", "0", "-3"},
                  0,
                  "> -400,0,-600;\n< OK\n",
                  "Отправлено строк: 1"},
        MoveWords{"DryRunSendsNothing",
                  {"--dry-run", "move", "1", "1", "1"},
                  0,
                  "",
                  "Отправлено строк: 0"},
        MoveWords{"PortCannotOpen", {"move", "1", "1", "1"}, 1, "", "Ошибка открытия Com-порта"},
        MoveWords{"TooFewNumbers", {"--port", kSim, "move", "1", "1"}, 2, "", "DX DY DZ"},
        MoveWords{"NotANumber", {"--port", kSim, "move", "1", "1", "x"}, 2, "", "3-ей оси"},
        MoveWords{"TooFar", {"--port", kSim, "move", "1e10", "0", "0"}, 1, "", "слишком велико"},
        MoveWords{"ZeroRatio", {"--port", kSim, "move", "1", "0", "0"}, 1, "", "оси X"}),
    [](const ::testing::TestParamInfo<MoveWords>& info) { return std::string(info.param.name); });

}  // namespace
