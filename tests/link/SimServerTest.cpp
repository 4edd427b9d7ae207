#include "link/SimServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <thread>

#include "Fakes.h"
#include "app/ProgramSettings.h"
#include "link/MoveProtocol.h"
#include "link/SerialPort.h"

namespace {

// A host whose waits take real time, for a controller on the far side of a real line.
class RealTimeHost : public FakeJobHost {
public:
    void sleepMs(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    std::int64_t clockMs() const override { return JobHost::clockMs(); }
};

// The server on its own thread, the program's side opened through the serial driver.
class SimServerTest : public ::testing::Test {
protected:
    void start(bool probe, int delayMs) {
        m_server = std::make_unique<SimServer>(probe, delayMs);
        QString error;
        ASSERT_TRUE(m_server->open(&error)) << qPrintable(error);
        ASSERT_EQ(::pipe(m_stop), 0);
        m_transcript = std::tmpfile();
        ASSERT_NE(m_transcript, nullptr);
        m_thread = std::thread([this] { m_server->serve(m_stop[0], m_transcript); });
        Settings() = ProgramSettings{};
        Settings().PortHandle = SerialOpen(m_server->devicePath(), 9600);
        ASSERT_GT(Settings().PortHandle, 0);
        m_host.timeoutMs = 5000;
        m_host.fields[JobField::FinishedWidth] = QStringLiteral("200");
        m_host.fields[JobField::Depth] = QStringLiteral("10");
    }
    void TearDown() override {
        SerialClose(Settings().PortHandle);
        Settings() = ProgramSettings{};
        if (m_thread.joinable()) {
            EXPECT_EQ(::write(m_stop[1], "x", 1), 1);
            m_thread.join();
        }
        for (const int fd : m_stop)
            if (fd >= 0) ::close(fd);
        if (m_transcript) std::fclose(m_transcript);
    }
    QByteArray transcript() {
        std::fflush(m_transcript);
        std::rewind(m_transcript);
        QByteArray text;
        char chunk[512];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, m_transcript)) > 0;)
            text.append(chunk, qsizetype(n));
        return text;
    }

    std::unique_ptr<SimServer> m_server;
    int m_stop[2] = {-1, -1};
    std::FILE* m_transcript = nullptr;
    std::thread m_thread;
    RealTimeHost m_host;
};

TEST_F(SimServerTest, TheProbeAnswersWithASample) {
    start(true, 0);
    MoveProtocol scanner(MoveWindow::Scanner, m_host);
    scanner.sendLine(-4000, 0, 0, true);
    scanner.sendLine(0, 0, 100, false);
    QByteArray reply;
    for (int round = 0; round < 2000 && !reply.endsWith("OK\r\n"); ++round) {
        for (int byte = SerialReadByte(Settings().PortHandle); byte >= 0;
             byte = SerialReadByte(Settings().PortHandle))
            reply.append(char(byte));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const QByteArray sample = QByteArray::number(TestSurfaceSample(-4000, 0));
    EXPECT_EQ(reply, sample + "\r\nOK\r\n");
    EXPECT_EQ(transcript(), "> -4000,0,0;\n< OK\n> 0,0,100;\n< " + sample + "\n< OK\n");
}

TEST_F(SimServerTest, TheDelayHoldsEachAnswerBack) {
    start(false, 150);
    MoveProtocol engraving(MoveWindow::Engraving, m_host);
    engraving.setPictureWidth(200);
    QElapsedTimer clock;
    clock.start();
    engraving.MovePixels(1, 0, 255, true);
    engraving.MovePixels(1, 0, 255, true);
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(SimServerTest, StopsWhenAskedEvenWhileHoldingAnAnswer) {
    start(false, 60000);
    SerialWrite(Settings().PortHandle, "1,1,1;");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(::write(m_stop[1], "x", 1), 1);
    m_thread.join();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(transcript(), QByteArray("> 1,1,1;\n"));
}

}  // namespace
