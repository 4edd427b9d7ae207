#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QMap>
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
        QStringList arguments{"--config", path("cnc.ini"), "--port",
                              m_device,   "--log",         path("exchange.log")};
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
        // A program that ends at "OK" leaves the CR LF after it to the next one, which logs an
        // empty line; and a CR may come in one read and its LF in the next.
        for (const QByteArray& line : log.readAll().split('\n')) {
            const QByteArray text = line.mid(prefix.size()).trimmed();
            if (line.startsWith(prefix) && !text.isEmpty()) lines << text;
        }
        return lines;
    }
    // The line's answer was the limit's error text and no "OK". (The log is read whole: a line
    // end left over from the previous run can split a logged line.)
    bool answeredOnlyWithTheLimit() const {
        QFile log(path("exchange.log"));
        const QByteArray text = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        return text.contains("ERR limit X") && !text.contains("OK");
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

// A step pulse leaves a few microseconds late when the millisecond clock's interrupt is being
// served, so a single interval may be up to 1 % short of the top rate's.
constexpr double kLatencyShare = 1.01;

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
    // 200 steps a pixel: the travel to the square is long enough to reach the top rate.
    ASSERT_EQ(runCnc({"mill", "all", path("square.bmp"), "--width", "12", "--depth", "1",
                      "--diameter", "1"}),
              0)
        << qPrintable(m_errors);
    const BoardEvents events = stopBoard();

    const QList<QByteArray> sent = sentLines();
    ASSERT_GT(sent.size(), 10);
    EXPECT_EQ(logged("< ").count("OK"), sent.size()) << "every line answered\n"
                                                     << logged("").join('\n').toStdString();
    EXPECT_EQ(events.replies.count("OK"), sent.size());
    ASSERT_EQ(events.lines.size(), sent.size());
    std::array<std::array<long, 2>, 3> expected{};
    for (qsizetype i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(events.lines[i].text, sent[i]);
        const std::array<long, 3> steps = LineSteps(sent[i]);
        for (int axis = 0; axis < 3; ++axis)
            expected[axis][steps[axis] > 0] += std::labs(steps[axis]);
    }
    EXPECT_EQ(events.counts, expected) << "pulses per axis and direction = the lines' steps";

    // Each line's leading axis: never above the top rate; speeding up and slowing down at the
    // configured acceleration, which v² = v0² + 2·a·n measures over the ramps.
    int ramps = 0;
    int cruises = 0;
    for (const BoardLine& line : events.lines) {
        SCOPED_TRACE(line.text.constData());
        const std::array<long, 3> steps = LineSteps(line.text);
        const int lead =
            int(std::max_element(steps.begin(), steps.end(),
                                 [](long a, long b) { return std::labs(a) < std::labs(b); }) -
                steps.begin());
        const QList<double> rates = ratesOf(pulsesOf(line, lead));
        if (rates.isEmpty()) continue;
        for (int axis = 0; axis < 3; ++axis)
            for (const double rate : ratesOf(pulsesOf(line, axis)))
                EXPECT_LE(rate, MAX_RATE * kLatencyShare);
        const double top = *std::max_element(rates.begin(), rates.end());
        const auto atTop = [&](double rate) { return rate >= 0.99 * top; };
        const qsizetype rise = std::find_if(rates.begin(), rates.end(), atTop) - rates.begin();
        const qsizetype fall = rates.rend() - std::find_if(rates.rbegin(), rates.rend(), atTop) - 1;
        EXPECT_LT(rates.front(), 0.3 * top) << "starts from rest";
        EXPECT_LT(rates.back(), 0.3 * top) << "ends at rest";
        if (top >= 0.99 * MAX_RATE) ++cruises;
        if (rates.size() < 60) continue;
        // The middle half of each ramp: away from its ends, where the steps are fewest.
        const auto acceleration = [&](qsizetype from, qsizetype to) {
            return (rates[to] * rates[to] - rates[from] * rates[from]) / (2.0 * double(to - from));
        };
        const qsizetype up = rise / 4;
        const qsizetype down = (rates.size() - 1 - fall) / 4;
        EXPECT_NEAR(acceleration(up, rise - up), ACCELERATION, 0.05 * ACCELERATION);
        EXPECT_NEAR(-acceleration(fall + down, rates.size() - 1 - down), ACCELERATION,
                    0.05 * ACCELERATION);
        ++ramps;
    }
    EXPECT_GT(ramps, 3);
    EXPECT_GT(cruises, 0) << "some line reaches the top rate";
}

// The power pin's level just before `cycle`.
int powerLevelBefore(const QList<PowerEdge>& power, std::uint64_t cycle) {
    int level = 0;
    for (const PowerEdge& edge : power)
        if (edge.cycle < cycle) level = edge.level;
    return level;
}

TEST_F(FirmwareBoard, LaserBurnsEachPixelAtItsDarknessAndIsOffOtherwise) {
    // Darkness 255 - grey; white pixels are not burnt.
    const int greys[3][4] = {{0, 64, 255, 128}, {255, 200, 30, 255}, {10, 255, 255, 90}};
    QImage image(4, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, y, qRgb(greys[y][x], greys[y][x], greys[y][x]));
    writePicture(image, path("grey.bmp"));
    startBoard("laser");
    // 0.4 mm over 4 pixels at 0.005 mm a step: a pitch of 20 steps.
    ASSERT_EQ(runCnc({"engrave", path("grey.bmp"), "--width", "0.4"}), 0) << qPrintable(m_errors);
    const BoardEvents events = stopBoard();
    const QList<QByteArray> sent = sentLines();
    ASSERT_EQ(sent.size(), 8);  // the opening line and the seven pixels that are not white
    ASSERT_EQ(sent.front(), "0,0,-20");
    EXPECT_EQ(events.replies.count("OK"), sent.size());
    ASSERT_EQ(events.lines.size(), sent.size());

    constexpr int kPitch = 20;
    for (qsizetype i = 0; i < events.lines.size(); ++i) {
        const BoardLine& line = events.lines[i];
        SCOPED_TRACE(line.text.constData());
        const std::uint64_t end =
            i + 1 < events.lines.size() ? events.lines[i + 1].cycle : events.lastCycle + 1;
        const std::array<long, 3> steps = LineSteps(line.text);
        if (steps[2] < 0) {
            EXPECT_TRUE(line.pulses.isEmpty());
            EXPECT_EQ(PowerHighShare(events.power, line.cycle, end), 0);
            continue;
        }
        const QList<StepPulse> x = pulsesOf(line, 0);
        ASSERT_GE(x.size(), kPitch);
        const QList<StepPulse> burn = x.mid(x.size() - kPitch);
        for (const StepPulse& pulse : burn) EXPECT_EQ(pulse.direction, 1) << "burns along +X";
        const double duty = PowerHighShare(events.power, burn.front().cycle, burn.back().cycle);
        EXPECT_NEAR(duty, steps[2] / 255.0, 0.02);
        // Off while travelling to the pixel: the beam comes on after the travel's last step.
        std::uint64_t travelEnd = line.cycle;
        for (const StepPulse& pulse : line.pulses)
            if (pulse.cycle < burn.front().cycle) travelEnd = pulse.cycle;
        EXPECT_EQ(PowerHighShare(events.power, line.cycle, travelEnd), 0);
        EXPECT_EQ(powerLevelBefore(events.power, end), 0) << "off before the next line";
    }
    EXPECT_EQ(powerLevelBefore(events.power, events.lastCycle + 1), 0) << "off after the job";
}

TEST_F(FirmwareBoard, ScannerSamplesTheSurfaceOnItsScale) {
    startBoard("scanner", {"--surface"});
    ASSERT_EQ(runCnc({"scan", "--mesh", "4,3", "--area", "2", "--export", path("scan.csv")}), 0)
        << qPrintable(m_errors);
    const BoardEvents events = stopBoard();

    // Grid steps as the scan sent them.
    long stepX = 0;
    long stepY = 0;
    for (const QByteArray& line : sentLines()) {
        const std::array<long, 3> steps = LineSteps(line);
        if (!stepX) stepX = std::labs(steps[0]);
        if (!stepY) stepY = std::labs(steps[1]);
    }
    ASSERT_GT(stepX, 0);
    ASSERT_GT(stepY, 0);

    QFile csv(path("scan.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    QMap<std::pair<int, int>, int> samples;
    for (const QByteArray& row : csv.readAll().split('\n').mid(1)) {
        const QList<QByteArray> cells = row.split(',');
        if (cells.size() == 7) samples[{cells[0].toInt(), cells[1].toInt()}] = cells[4].toInt();
    }
    ASSERT_EQ(samples.size(), 12);

    // Where the board stood at each sample request, from its own pulses.
    std::array<long, 3> at{};
    int probed = 0;
    for (const BoardLine& line : events.lines) {
        if (line.text == "0,0,100") {
            SCOPED_TRACE(QStringLiteral("x %1 y %2").arg(at[0]).arg(at[1]).toStdString());
            EXPECT_EQ(at[2], 0) << "the probe starts each sample at the same height";
            const int column = int(1 - at[0] / stepX);
            const int row = int(1 + at[1] / stepY);
            ASSERT_TRUE(samples.contains({column, row}));
            const double depth = SurfaceDepth(double(at[0]), double(at[1]));
            const int sample = samples.value({column, row});
            EXPECT_NEAR(sample, 255 * (PROBE_RANGE - depth) / PROBE_RANGE, 1.0);
            ++probed;
        }
        for (const StepPulse& pulse : line.pulses) at[pulse.axis] += pulse.direction;
    }
    EXPECT_EQ(probed, 12);
    EXPECT_EQ(at[2], 0) << "raised back after every sample";
}

// The board's device opened as a terminal program would; what the board answers is read back.
class Terminal {
public:
    explicit Terminal(const QString& device)
        : m_fd(::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY)) {
        termios raw{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(m_fd, TCSANOW, &raw);
        }
    }
    ~Terminal() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void send(const QByteArray& bytes) {
        ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), bytes.size());
    }
    // The answers until `count` lines ended by LF have come (or 20 s passed).
    QByteArray answers(int count) {
        QByteArray got;
        while (got.count('\n') < count) {
            pollfd fd{m_fd, POLLIN, 0};
            if (::poll(&fd, 1, 20000) <= 0) break;
            char chunk[64];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0) break;
            got.append(chunk, n);
        }
        return got;
    }

private:
    int m_fd;
};

TEST_F(FirmwareBoard, JunkAndOverLongLinesAreAnsweredAndTheNextLineIsNotLost) {
    startBoard("router");
    {
        Terminal terminal(m_device);
        ASSERT_TRUE(terminal.isOpen());
        terminal.send("hello world\r\n");
        EXPECT_EQ(terminal.answers(1), "ERR\r\n");
        terminal.send(QByteArray(100, '7') + ";");
        EXPECT_EQ(terminal.answers(1), "ERR\r\n") << "one answer for the whole line";
        terminal.send(QByteArray(80, 'x') + "\r\n" + "1,2,x;" + "10,-5,0;\r\n");
        EXPECT_EQ(terminal.answers(3), "ERR\r\nERR\r\nOK\r\n");
    }
    ASSERT_EQ(runCnc({"move", "0,05", "0", "-0,05"}), 0) << qPrintable(m_errors);
    const BoardEvents events = stopBoard();
    EXPECT_EQ(logged("> "), QList<QByteArray>{"10,0,-10;"});
    const std::array<std::array<long, 2>, 3> expected = {{{0, 20}, {5, 0}, {10, 0}}};
    EXPECT_EQ(events.counts, expected);
}

// X's limit switch closes at 300 steps: the move that reaches it stops there with an error text
// instead of "OK"; the same direction is refused while it stays closed; backing off works.
TEST_F(FirmwareBoard, ALimitStopsTheMoveAndAnswersWithAnErrorText) {
    startBoard("router", {"--limit", "x,300"});
    EXPECT_EQ(runCnc({"move", "1", "0", "0"}), 0) << qPrintable(m_errors);
    EXPECT_EQ(runCnc({"move", "1", "0", "0"}, 1), 1);
    EXPECT_TRUE(answeredOnlyWithTheLimit());
    EXPECT_TRUE(m_errors.contains(QStringLiteral("не ответил"))) << qPrintable(m_errors);
    EXPECT_EQ(runCnc({"move", "0,5", "0", "0"}, 1), 1);
    EXPECT_TRUE(answeredOnlyWithTheLimit());
    EXPECT_EQ(runCnc({"move", "-1", "0", "0"}), 0) << qPrintable(m_errors);
    const BoardEvents events = stopBoard();
    EXPECT_EQ(events.counts[0][1], 300) << "stopped at the switch";
    EXPECT_EQ(events.counts[0][0], 200);
}

}  // namespace
