#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "BoardEvents.h"
#include "BoardProcess.h"
#include "Surface.h"
#include "firmware/Config.h"

// End to end: `cnc` drives the controller's own firmware, running in the AVR simulator, through
// a pseudo-terminal as it would drive a real board; the simulator counts what the board does.

namespace {

const QString kProgram = QStringLiteral(CNC_EXECUTABLE);

class FirmwareBoard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QFile config(path("cnc.ini"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\n");
    }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Runs cnc with the test's configuration, the board's port and a log; returns its status.
    int runCnc(const QStringList& words, int timeoutSeconds = 0) {
        QStringList arguments{"--config", path("cnc.ini"), "--port", m_device, "--log",
                              path("exchange.log")};
        if (timeoutSeconds > 0) arguments << "--timeout" << QString::number(timeoutSeconds);
        QProcess cnc;
        cnc.start(kProgram, arguments + words);
        EXPECT_TRUE(cnc.waitForFinished(120000));
        m_errors = QString::fromUtf8(cnc.readAllStandardError());
        return cnc.exitStatus() == QProcess::NormalExit ? cnc.exitCode() : -1;
    }
    void startBoard(const char* machine, const QStringList& options = {}) {
        m_device = m_board.start(machine, path("events.txt"), options);
        ASSERT_TRUE(m_device.startsWith("/dev/")) << qPrintable(m_device);
    }
    BoardEvents stopBoard() {
        EXPECT_TRUE(m_board.stop());
        return ReadBoardEvents(path("events.txt"));
    }
    // The lines of the exchange log that start with `prefix`, without it.
    QList<QByteArray> logged(const QByteArray& prefix) const {
        QFile log(path("exchange.log"));
        QList<QByteArray> lines;
        if (!log.open(QIODevice::ReadOnly)) return lines;
        // A reply's CR may come in one read and its LF in the next, after the last line.
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.startsWith(prefix)) lines << line.mid(prefix.size()).trimmed();
        return lines;
    }
    // The lines sent, without ";".
    QList<QByteArray> sentLines() const {
        QList<QByteArray> lines = logged("> ");
        for (QByteArray& line : lines) line.chop(1);  // the ";"
        return lines;
    }

    QTemporaryDir m_dir;
    BoardProcess m_board;
    QString m_device;
    QString m_errors;
};

// The pulses of `axis` in a line, in order.
QList<StepPulse> pulsesOf(const BoardLine& line, int axis) {
    QList<StepPulse> pulses;
    for (const StepPulse& pulse : line.pulses)
        if (pulse.axis == axis) pulses << pulse;
    return pulses;
}

// Step rates (steps per second) between consecutive pulses.
QList<double> ratesOf(const QList<StepPulse>& pulses) {
    QList<double> rates;
    for (qsizetype i = 1; i < pulses.size(); ++i)
        rates << kBoardCyclesPerSecond / double(pulses[i].cycle - pulses[i - 1].cycle);
    return rates;
}

void writePicture(const QImage& image, const QString& file) {
    ASSERT_TRUE(image.save(file, "BMP"));
}

// A dark 5 x 5 square on a 12 x 10 white picture.
QImage drawnSquare() {
    QImage image(12, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 2; y <= 6; ++y)
        for (int x = 3; x <= 7; ++x) image.setPixel(x, y, qRgb(0, 0, 0));
    return image;
}

TEST_F(FirmwareBoard, RouterMillsAllOfADrawnPictureWithTheStepsAndRampsOfItsLines) {
    writePicture(drawnSquare(), path("square.bmp"));
    startBoard("router");
    ASSERT_EQ(runCnc({"mill", "all", path("square.bmp"), "--width", "6", "--depth", "1",
                      "--diameter", "1"}),
              0)
        << qPrintable(m_errors);
    const BoardEvents events = stopBoard();

    const QList<QByteArray> sent = sentLines();
    ASSERT_GT(sent.size(), 10);
    EXPECT_EQ(logged("< ").count("OK"), sent.size()) << "every line answered";
    EXPECT_EQ(events.replies.count("OK"), sent.size());
    ASSERT_EQ(events.lines.size(), sent.size());
    std::array<std::array<long, 2>, 3> expected{};
    for (qsizetype i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(events.lines[i].text, sent[i]);
        const std::array<long, 3> steps = LineSteps(sent[i]);
        for (int axis = 0; axis < 3; ++axis) expected[axis][steps[axis] > 0] += std::labs(steps[axis]);
    }
    EXPECT_EQ(events.counts, expected) << "pulses per axis and direction = the lines' steps";

    // Each line's leading axis: never above the top rate; speeding up and slowing down at the
    // configured acceleration, which v² = v0² + 2·a·n measures over the ramps.
    int ramps = 0;
    for (const BoardLine& line : events.lines) {
        SCOPED_TRACE(line.text.constData());
        const std::array<long, 3> steps = LineSteps(line.text);
        const int lead = int(std::max_element(steps.begin(), steps.end(),
                                              [](long a, long b) { return std::labs(a) < std::labs(b); }) -
                             steps.begin());
        const QList<double> rates = ratesOf(pulsesOf(line, lead));
        if (rates.isEmpty()) continue;
        for (int axis = 0; axis < 3; ++axis)
            for (const double rate : ratesOf(pulsesOf(line, axis))) EXPECT_LE(rate, MAX_RATE * 1.001);
        const qsizetype peak = std::max_element(rates.begin(), rates.end()) - rates.begin();
        EXPECT_LT(rates.front(), 0.3 * rates[peak]) << "starts from rest";
        EXPECT_LT(rates.back(), 0.3 * rates[peak]) << "ends at rest";
        if (rates.size() < 60) continue;
        const qsizetype quarter = peak / 4;
        const double up = (rates[peak - quarter] * rates[peak - quarter] -
                           rates[quarter] * rates[quarter]) / (2.0 * double(peak - 2 * quarter));
        EXPECT_NEAR(up, ACCELERATION, 0.05 * ACCELERATION);
        const qsizetype fall = rates.size() - 1 - peak;
        const qsizetype a = rates.size() - 1 - fall / 4;
        const qsizetype b = peak + fall / 4;
        const double down = (rates[b] * rates[b] - rates[a] * rates[a]) / (2.0 * double(a - b));
        EXPECT_NEAR(down, ACCELERATION, 0.05 * ACCELERATION);
        ++ramps;
    }
    EXPECT_GT(ramps, 3);
}

}  // namespace
