#include "link/virtual/VirtualController.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QSet>
#include <algorithm>

#include "link/serial/ExchangeLog.h"

namespace {

TEST(VirtualController, CarriesOutLinesHoweverTheyArrive) {
    const QByteArray stream = "200,-200,100;0,0,0;-2147483648,2147483647,-5;\r\n12,0,-3;";
    const QList<MachinePosition> expected = {
        {0, 0, 0},
        {200, -200, 100},
        {200, -200, 100},
        {200 - 2147483648LL, -200 + 2147483647LL, 95},
        {212 - 2147483648LL, -200 + 2147483647LL, 92},
    };
    // Chunks from one byte to all at once, cutting lines, ";" and line ends in many places.
    for (const int chunk : {1, 2, 3, 5, 8, 13, 21, 34, 60}) {
        SCOPED_TRACE(chunk);
        VirtualController controller(false);
        QList<ControllerExchange> done;
        for (qsizetype at = 0; at < stream.size(); at += chunk)
            done += controller.receive(stream.mid(at, chunk));
        ASSERT_EQ(done.size(), 4);
        EXPECT_EQ(done[0].line, QByteArray("200,-200,100;"));
        EXPECT_EQ(done[3].line, QByteArray("12,0,-3;"));
        for (const ControllerExchange& exchange : done)
            EXPECT_EQ(exchange.reply, QByteArray("OK\r\n"));
        EXPECT_EQ(controller.path(), expected);
        EXPECT_EQ(controller.position(), expected.back());
    }
}

TEST(VirtualController, MalformedLinesAreAnsweredErrAndMoveNothing) {
    VirtualController controller(false);
    for (const char* line : {"1,2;", "1,2,3,4;", "a,0,0;", "1,,0;", "2147483648,0,0;",
                             "0,-2147483649,0;", "+1,0,0;", "1.5,0,0;", ";"}) {
        SCOPED_TRACE(line);
        const QList<ControllerExchange> done = controller.receive(line);
        ASSERT_EQ(done.size(), 1);
        EXPECT_EQ(done[0].reply, QByteArray("ERR\r\n"));
    }
    EXPECT_EQ(controller.path().size(), 1);
    // Endless noise without ";" is cut off rather than kept for ever.
    const QList<ControllerExchange> noise = controller.receive(QByteArray(200, '7'));
    EXPECT_FALSE(noise.isEmpty());
    EXPECT_EQ(controller.receive("1,1,1;").back().reply, QByteArray("OK\r\n"));
}

TEST(VirtualController, TheProbeSamplesTheSurfaceWhereItStands) {
    VirtualController controller(true);
    controller.receive("-4000,5000,0;");
    const QList<ControllerExchange> done = controller.receive("0,0,100;");
    ASSERT_EQ(done.size(), 1);
    const QByteArray sample = QByteArray::number(TestSurfaceSample(-4000, 5000));
    EXPECT_EQ(done[0].reply, sample + "\r\nOK\r\n");
    // The probe comes back up: the request is not a move.
    EXPECT_EQ(controller.position(), (MachinePosition{-4000, 5000, 0}));
    // Without the probe the same line is an ordinary move.
    VirtualController plain(false);
    EXPECT_EQ(plain.receive("0,0,100;").back().reply, QByteArray("OK\r\n"));
    EXPECT_EQ(plain.position(), (MachinePosition{0, 0, 100}));
}

TEST(VirtualController, TheTestSurfaceIsAReliefOfGreyLevels) {
    // Over the scanner's default grid (6 x 5 points, 4000 steps apart, towards -X and +Y) the
    // samples are grey levels that differ enough to make a picture, and far away they stay so.
    QSet<int> levels;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 5; ++j) levels.insert(TestSurfaceSample(-4000LL * i, 5000LL * j));
    }
    EXPECT_GE(levels.size(), 15);
    const auto [lowest, highest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_GE(*highest - *lowest, 100);
    for (const qint64 x : {-9'000'000'000'000LL, 9'000'000'000'000LL})
        levels.insert(TestSurfaceSample(x, 9'000'000'000'000LL));
    for (const int level : levels) {
        EXPECT_GE(level, 0);
        EXPECT_LE(level, 255);
    }
}

TEST(ExchangeLog, WritesSentLinesAndReceivedLinesSplitAtCrLf) {
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    ExchangeLog log(file);
    log.sent("200,-200,100;");
    for (const char* chunk : {"O", "K\r", "\n12", "3\r\nOK\r\n\r\nbu", "sy"}) log.received(chunk);
    log.sent("0,0,1;");
    log.finish();
    log.finish();  // nothing is written twice
    EXPECT_EQ(file.data(),
              QByteArray("> 200,-200,100;\n< OK\n< 123\n< OK\n< \n> 0,0,1;\n< busy\n"));
}

}  // namespace
