#include "link/serial/SerialDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "link/virtual/VirtualController.h"
#include "tests/support/Fakes.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TestProgram.h"

namespace {

constexpr int kBaud = 9600;

// Reads every byte the driver hands out within `timeoutMs`, polling as the reply readers do.
QByteArray drain(int handle, qsizetype expected, int timeoutMs = 2000) {
    QByteArray got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < expected && std::chrono::steady_clock::now() < until) {
        for (int byte = testProgram().driver.SerialReadByte(handle); byte >= 0;
             byte = testProgram().driver.SerialReadByte(handle))
            got.append(char(byte));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

// The first byte the driver hands out once one has arrived, polled as the reply readers do;
// -1 when none came within two seconds.
int nextByte(int handle) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int byte = testProgram().driver.SerialReadByte(handle);
    while (byte < 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        byte = testProgram().driver.SerialReadByte(handle);
    }
    return byte;
}

TEST(SerialPortOpen, NamesThatDoNotExistCannotBeOpened) {
    for (const char* name : {"/dev/cnc-no-such-port", "ttyCncNoSuchPort", "", "com1"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(testProgram().driver.SerialOpen(QString::fromLatin1(name), kBaud),
                  kPortCannotOpen);
    }
}

TEST(SerialPortOpen, HandlesFromOpenToCloseAreUniqueAndDieWithThePort) {
    PtyPair first;
    PtyPair second;
    // Refused settings close the port again: it then opens at once, but only once.
    for (const int baud : {0, -9600})
        EXPECT_EQ(testProgram().driver.SerialOpen(first.devicePath(), baud), kPortSettingsRefused);
    const int a = testProgram().driver.SerialOpen(first.devicePath(), kBaud);
    ASSERT_GT(a, 0);
    EXPECT_EQ(testProgram().driver.SerialOpen(first.devicePath(), kBaud), kPortCannotOpen);

    // A name without "/dev/" is looked up there ("pts/N", as typed); bytes written arrive.
    ASSERT_TRUE(second.devicePath().startsWith(QLatin1String("/dev/")));
    const int b = testProgram().driver.SerialOpen(second.devicePath().mid(5), kBaud);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    testProgram().driver.SerialWrite(b, "-2147483648,2147483647,0;");
    EXPECT_EQ(second.receive(25), QByteArray("-2147483648,2147483647,0;"));

    // The closed handle is dead: writes go nowhere and reads find nothing; it is never reused.
    testProgram().driver.SerialClose(a);
    testProgram().driver.SerialWrite(a, "1,1,1;");
    first.send("OK\r\n");
    EXPECT_EQ(testProgram().driver.SerialReadByte(a), -1);
    const int c = testProgram().driver.SerialOpen(first.devicePath(), kBaud);
    EXPECT_GT(c, 0);
    EXPECT_NE(c, a);
    EXPECT_EQ(first.receive(1, 100), QByteArray());
    testProgram().driver.SerialClose(b);
    testProgram().driver.SerialClose(c);
    testProgram().driver.SerialClose(0);
    testProgram().driver.SerialClose(-1);
}

class SerialPortPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.isOpen());
        m_handle = testProgram().driver.SerialOpen(m_pty.devicePath(), kBaud);
        ASSERT_GT(m_handle, 0) << qPrintable(m_pty.devicePath());
    }
    void TearDown() override { testProgram().driver.SerialClose(m_handle); }

    PtyPair m_pty;
    int m_handle = 0;
};

TEST_F(SerialPortPty, ReadByteNeverWaitsAndBytesArrivingTogetherComeOneByOne) {
    EXPECT_EQ(testProgram().driver.SerialReadByte(m_handle), -1);
    m_pty.send(QByteArray("O\xffK", 3));
    EXPECT_EQ(nextByte(m_handle), 'O');
    EXPECT_EQ(testProgram().driver.SerialReadByte(m_handle),
              0xff);  // bytes are 0..255, never negative
    EXPECT_EQ(testProgram().driver.SerialReadByte(m_handle), 'K');
    EXPECT_EQ(testProgram().driver.SerialReadByte(m_handle), -1);
}

TEST_F(SerialPortPty, ALateByteIsReturnedByTheFirstPollAfterItArrives) {
    EXPECT_EQ(testProgram().driver.SerialReadByte(m_handle), -1);
    EXPECT_EQ(testProgram().driver.SerialReadByte(m_handle), -1);
    m_pty.send("K");
    EXPECT_EQ(nextByte(m_handle), 'K');
}

TEST_F(SerialPortPty, ManyBytesComeInOrderAndNoneIsLost) {
    QByteArray sent;
    for (int i = 0; i < 3000; ++i) sent.append(char(i * 7 % 256));
    QByteArray got;
    for (qsizetype at = 0; at < sent.size(); at += 500) {
        m_pty.send(sent.mid(at, 500));
        // Read only part of what has come, so that arrivals and reads interleave.
        for (int i = 0; i < 300; ++i)
            if (const int byte = testProgram().driver.SerialReadByte(m_handle); byte >= 0)
                got.append(char(byte));
    }
    got += drain(m_handle, sent.size() - got.size());
    ASSERT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
}

class RecordingTap final : public SerialTap {
public:
    void sent(const QByteArray& bytes) override { events << "> " + bytes; }
    void received(const QByteArray& bytes) override { events << "< " + bytes; }
    QList<QByteArray> events;
};

TEST(SerialPortDriver, TheTapSeesWhatPassedAShortWriteClearsTheErrorAndWritesPause) {
    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r", "\n"};
    const int handle = testProgram().driver.attach(std::make_unique<ScriptedTransport>(script));
    RecordingTap tap;
    testProgram().driver.setTap(handle, &tap);
    testProgram().driver.SerialWrite(handle, "1,2,3;");
    EXPECT_EQ(drain(handle, 4), QByteArray("OK\r\n"));
    EXPECT_EQ(script->errorsCleared, 0);
    script->acceptAtMost = 3;
    testProgram().driver.SerialWrite(handle, "12,0,-3;");
    EXPECT_EQ(script->errorsCleared, 1);
    // The log shows what left, in the order the bytes passed.
    EXPECT_EQ(tap.events, (QList<QByteArray>{"> 1,2,3;", "< OK\r", "< \n", "> 12,"}));

    testProgram().driver.setTap(handle, nullptr);
    script->acceptAtMost = -1;
    std::vector<std::chrono::milliseconds> pauses;
    testProgram().driver.setPauseFunction(
        [&](std::chrono::milliseconds pause) { pauses.push_back(pause); });
    for (int i = 0; i < 10; ++i) testProgram().driver.SerialWrite(handle, "1,0,0;");
    testProgram().driver.setPauseFunction(&SerialDriver::sleepPause);
    // The pause after every write spaces consecutive lines.
    EXPECT_EQ(pauses, std::vector<std::chrono::milliseconds>(10, std::chrono::milliseconds(2)));
    EXPECT_EQ(tap.events.size(), 4);
    testProgram().driver.SerialClose(handle);
    testProgram().driver.setTap(handle, &tap);  // unknown handles are ignored
    EXPECT_EQ(testProgram().driver.transportOf(handle), nullptr);
}

TEST(SerialPortSim, TheVirtualControllerOpensLikeAnyPort) {
    const int handle = testProgram().portKinds.open(QStringLiteral("sim"), kBaud);
    ASSERT_GT(handle, 0);
    ASSERT_NE(VirtualControllerOf(testProgram().driver, handle), nullptr);
    EXPECT_FALSE(VirtualControllerOf(testProgram().driver, handle)->hasProbe());
    testProgram().driver.SerialWrite(handle, "200,-200,100;");
    EXPECT_EQ(drain(handle, 4), QByteArray("OK\r\n"));
    EXPECT_EQ(VirtualControllerOf(testProgram().driver, handle)->position(),
              (MachinePosition{200, -200, 100}));
    testProgram().driver.SerialClose(handle);
    EXPECT_EQ(VirtualControllerOf(testProgram().driver, handle), nullptr);

    const int probe = testProgram().portKinds.open(QStringLiteral("SIM:probe"), kBaud);
    ASSERT_NE(VirtualControllerOf(testProgram().driver, probe), nullptr);
    EXPECT_TRUE(VirtualControllerOf(testProgram().driver, probe)->hasProbe());
    testProgram().driver.SerialClose(probe);
    EXPECT_EQ(testProgram().portKinds.open(QStringLiteral("sim:laser"), kBaud), kPortCannotOpen);
}

}  // namespace
