#include "link/SerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Fakes.h"
#include "PtyPair.h"
#include "link/MachineLink.h"
#include "link/SerialRegistry.h"
#include "link/VirtualController.h"

namespace {

constexpr int kBaud = 9600;

// Reads every byte the driver hands out within `timeoutMs`, polling as the reply readers do.
QByteArray drain(int handle, qsizetype expected, int timeoutMs = 2000) {
    QByteArray got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < expected && std::chrono::steady_clock::now() < until) {
        for (int byte = SerialReadByte(handle); byte >= 0; byte = SerialReadByte(handle))
            got.append(char(byte));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

TEST(SerialPortOpen, NamesThatDoNotExistCannotBeOpened) {
    for (const char* name : {"/dev/cnc-no-such-port", "ttyCncNoSuchPort", "", "com1"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(SerialOpen(QString::fromLatin1(name), kBaud), kPortCannotOpen);
    }
}

TEST(SerialPortOpen, HandlesFromOpenToCloseAreUniqueAndDieWithThePort) {
    PtyPair first;
    PtyPair second;
    // Refused settings close the port again: it then opens at once, but only once.
    for (const int baud : {0, -9600})
        EXPECT_EQ(SerialOpen(first.devicePath(), baud), kPortSettingsRefused);
    const int a = SerialOpen(first.devicePath(), kBaud);
    ASSERT_GT(a, 0);
    EXPECT_EQ(SerialOpen(first.devicePath(), kBaud), kPortCannotOpen);

    // A name without "/dev/" is looked up there ("pts/N", as typed); bytes written arrive.
    ASSERT_TRUE(second.devicePath().startsWith(QLatin1String("/dev/")));
    const int b = SerialOpen(second.devicePath().mid(5), kBaud);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    SerialWrite(b, "-2147483648,2147483647,0;");
    EXPECT_EQ(second.receive(25), QByteArray("-2147483648,2147483647,0;"));

    // The closed handle is dead: writes go nowhere and reads find nothing; it is never reused.
    SerialClose(a);
    SerialWrite(a, "1,1,1;");
    first.send("OK\r\n");
    EXPECT_EQ(SerialReadByte(a), -1);
    const int c = SerialOpen(first.devicePath(), kBaud);
    EXPECT_GT(c, 0);
    EXPECT_NE(c, a);
    EXPECT_EQ(first.receive(1, 100), QByteArray());
    SerialClose(b);
    SerialClose(c);
    SerialClose(0);
    SerialClose(-1);
}

class SerialPortPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.isOpen());
        m_handle = SerialOpen(m_pty.devicePath(), kBaud);
        ASSERT_GT(m_handle, 0) << qPrintable(m_pty.devicePath());
    }
    void TearDown() override { SerialClose(m_handle); }

    PtyPair m_pty;
    int m_handle = 0;
};

TEST_F(SerialPortPty, ReadByteNeverWaitsAndBytesArrivingTogetherComeOneByOne) {
    EXPECT_EQ(SerialReadByte(m_handle), -1);
    m_pty.send(QByteArray("O\xffK", 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(SerialReadByte(m_handle), 'O');
    EXPECT_EQ(SerialReadByte(m_handle), 0xff);  // bytes are 0..255, never negative
    EXPECT_EQ(SerialReadByte(m_handle), 'K');
    EXPECT_EQ(SerialReadByte(m_handle), -1);
}

TEST_F(SerialPortPty, ALateByteIsReturnedByTheFirstPollAfterItArrives) {
    EXPECT_EQ(SerialReadByte(m_handle), -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(SerialReadByte(m_handle), -1);
    m_pty.send("K");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(SerialReadByte(m_handle), 'K');
}

TEST_F(SerialPortPty, ManyBytesComeInOrderAndNoneIsLost) {
    QByteArray sent;
    for (int i = 0; i < 3000; ++i) sent.append(char(i * 7 % 256));
    QByteArray got;
    for (qsizetype at = 0; at < sent.size(); at += 500) {
        m_pty.send(sent.mid(at, 500));
        // Read only part of what has come, so that arrivals and reads interleave.
        for (int i = 0; i < 300; ++i)
            if (const int byte = SerialReadByte(m_handle); byte >= 0) got.append(char(byte));
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
    const int handle = SerialAttach(std::make_unique<ScriptedTransport>(script));
    RecordingTap tap;
    SerialSetTap(handle, &tap);
    SerialWrite(handle, "1,2,3;");
    EXPECT_EQ(drain(handle, 4), QByteArray("OK\r\n"));
    EXPECT_EQ(script->errorsCleared, 0);
    script->acceptAtMost = 3;
    SerialWrite(handle, "12,0,-3;");
    EXPECT_EQ(script->errorsCleared, 1);
    // The log shows what left, in the order the bytes passed.
    EXPECT_EQ(tap.events, (QList<QByteArray>{"> 1,2,3;", "< OK\r", "< \n", "> 12,"}));

    SerialSetTap(handle, nullptr);
    script->acceptAtMost = -1;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) SerialWrite(handle, "1,0,0;");
    // The pause after every write spaces consecutive lines.
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(20));
    EXPECT_EQ(tap.events.size(), 4);
    SerialClose(handle);
    SerialSetTap(handle, &tap);  // unknown handles are ignored
    EXPECT_EQ(SerialTransportOf(handle), nullptr);
}

TEST(SerialPortSim, TheVirtualControllerOpensLikeAnyPort) {
    const int handle = openPortNamed(QStringLiteral("sim"), kBaud);
    ASSERT_GT(handle, 0);
    ASSERT_NE(VirtualControllerOf(handle), nullptr);
    EXPECT_FALSE(VirtualControllerOf(handle)->hasProbe());
    SerialWrite(handle, "200,-200,100;");
    EXPECT_EQ(drain(handle, 4), QByteArray("OK\r\n"));
    EXPECT_EQ(VirtualControllerOf(handle)->position(), (MachinePosition{200, -200, 100}));
    SerialClose(handle);
    EXPECT_EQ(VirtualControllerOf(handle), nullptr);

    const int probe = openPortNamed(QStringLiteral("SIM:probe"), kBaud);
    ASSERT_NE(VirtualControllerOf(probe), nullptr);
    EXPECT_TRUE(VirtualControllerOf(probe)->hasProbe());
    SerialClose(probe);
    EXPECT_EQ(openPortNamed(QStringLiteral("sim:laser"), kBaud), kPortCannotOpen);
}

}  // namespace
