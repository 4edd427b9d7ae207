#include "scanner/ScanSurface.h"

#include <gtest/gtest.h>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "link/virtual/VirtualController.h"
#include "scanner/ScanOrder.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

using Point = std::pair<int, int>;

std::vector<Point> sampledOrder(int w, int h) {
    std::vector<Point> order;
    int moves = 0;
    VisitScanGrid(w, h, [&](const ScanVisit& visit) {
        if (visit.kind == ScanVisit::Kind::Sample) {
            order.emplace_back(visit.i, visit.j);
        } else {
            ++moves;
            EXPECT_EQ(std::abs(visit.di) + std::abs(visit.dj), 1);  // to a neighbour
            EXPECT_EQ(Point(visit.i - visit.di, visit.j - visit.dj), order.back());
        }
    });
    EXPECT_EQ(moves, int(order.size()) - 1);
    return order;
}

TEST(ScanOrderTest, WorkedExamples) {
    const std::vector<Point> four = {{1, 1}, {2, 1}, {2, 2}, {1, 2}, {1, 3}, {2, 3}, {2, 4},
                                     {1, 4}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {4, 4}, {3, 4},
                                     {3, 3}, {4, 3}, {4, 2}, {3, 2}, {3, 1}, {4, 1}};
    EXPECT_EQ(sampledOrder(4, 5), four);
    std::vector<Point> six = four;
    for (const Point& p :
         {Point{5, 1}, {6, 1}, {6, 2}, {5, 2}, {5, 3}, {6, 3}, {6, 4}, {5, 4}, {5, 5}, {6, 5}})
        six.push_back(p);
    EXPECT_EQ(sampledOrder(6, 5), six);
    // Every point once, for other grids too.
    for (const auto& [w, h] : {Point{2, 3}, {8, 7}, {10, 1}, {12, 9}}) {
        std::vector<Point> order = sampledOrder(w, h);
        std::sort(order.begin(), order.end());
        EXPECT_EQ(std::unique(order.begin(), order.end()), order.end());
        EXPECT_EQ(int(order.size()), w * h);
    }
}

TEST(ScanSurfaceTest, RescaleRoundsHalvesToEvenAndEqualSamplesGiveZero) {
    HeightMap map{3, 1, {10, 20, 30}};
    RescaleHeightMap(map);
    EXPECT_EQ(map.values, (std::vector<qint32>{0, 128, 255}));
    HeightMap flat{2, 1, {77, 77}};
    RescaleHeightMap(flat);
    EXPECT_EQ(flat.values, (std::vector<qint32>{0, 0}));
    HeightMap huge{2, 1, {0, std::numeric_limits<qint32>::max()}};
    RescaleHeightMap(huge);
    EXPECT_EQ(huge.values, (std::vector<qint32>{0, 255}));
}

TEST(ScanSurfaceTest, GridChecksInTheirOrder) {
    const struct {
        const char* w;
        const char* h;
        const char* message;  // empty: accepted
    } cases[] = {
        {"6", "5", ""},
        {"5", "5", "Размер сетки по X должен быть кратным 4"},
        {"5", "4", "Размер сетки по X должен быть кратным 4"},  // only the X message
        {"6", "4", "Размер сетки по Y должен быть нечетным"},
        {"0", "5", "Размер сетки по X должен быть целым числом точек, не меньше 2."},
        {"", "5", "Размер сетки по X должен быть целым числом точек, не меньше 2."},
        {"abc", "5", "Размер сетки по X должен быть целым числом точек, не меньше 2."},
        {"6", "1", "Размер сетки по Y должен быть целым числом точек, не меньше 2."},
        {"6", "", "Размер сетки по Y должен быть целым числом точек, не меньше 2."},
        {"2000", "999", "Слишком много точек сетки: 2000 × 999, не больше 1000000."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.w) + " x " + c.h);
        const ScanGridCheck check = CheckScanGrid(QString::fromUtf8(c.w), QString::fromUtf8(c.h));
        EXPECT_EQ(check.refusal, QString::fromUtf8(c.message));
        const bool own = QString::fromUtf8(c.message).endsWith(QStringLiteral("кратным 4")) ||
                         QString::fromUtf8(c.message).endsWith(QStringLiteral("нечетным"));
        if (*c.message) {
            EXPECT_EQ(check.title.toString(),
                      own ? QStringLiteral("Strugal") : QStringLiteral("Ошибка"));
            EXPECT_EQ(check.title.kind, MessageKind::Warning);
        }
    }
}

// A host that records what the scan showed.
class ScanHost : public FakeJobHost {
public:
    void reportProgress(const JobProgress& progress) override { reports.append(progress); }
    void showMessage(const MessageTitle& title, const QString& text) override {
        messages.append(title.toString() + u'|' + text);
    }
    QList<JobProgress> reports;
    QStringList messages;
};

class ScanJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        testProgram().settings.values() = ProgramSettings{};
        m_link.adopt(testProgram().driver.attach(makeVirtualControllerTransport(true)));
        m_controller = VirtualControllerOf(testProgram().driver, m_link.PortHandle());
        m_picture.ResetScanPicture(QSize(222, 222), 6, 5);
        m_host.timeoutMs = 60000;
    }
    void TearDown() override {
        m_link.close();
        testProgram().settings.values() = ProgramSettings{};
    }
    // Runs the scan; returns the JobEnded it threw, if any.
    std::optional<JobEnded> scan(const ScanFieldTexts& fields) {
        MoveProtocol protocol(MoveRules::Scanner, m_host, m_link, testProgram().settings.values());
        ScanJob job(m_host, protocol, m_picture, m_record);
        job.setSampleShown([this](qint32 value) { m_shown.append(value); });
        try {
            job.ScanSurface(fields);
        } catch (const JobEnded& ended) {
            return ended;
        }
        return std::nullopt;
    }

    MachineLink m_link{testProgram().portKinds, testProgram().settings.values()};
    VirtualController* m_controller = nullptr;
    ScanHost m_host;
    ScanPicture m_picture;
    ScanRecord m_record;
    QList<qint32> m_shown;
    const ScanFieldTexts kDefaults{"6", "5", "100", "100"};
};

// The default grid live on the virtual probe: 30 sample requests and 29 moves of one StepX
// (4000, sent negated) or StepY (5000), the samples those of the test surface, then rescaled.
TEST_F(ScanJobTest, LiveScanOfTheDefaultGrid) {
    ASSERT_FALSE(scan(kDefaults).has_value());
    const QList<QByteArray>& lines = m_controller->lines();
    EXPECT_EQ(lines.count("0,0,100;"), 30);
    QList<QByteArray> moves;
    for (const QByteArray& line : lines)
        if (line != "0,0,100;") moves.append(line);
    ASSERT_EQ(moves.size(), 29);
    for (const QByteArray& line : moves) {
        EXPECT_TRUE(line == "-4000,0,0;" || line == "4000,0,0;" || line == "0,5000,0;" ||
                    line == "0,-5000,0;")
            << line.constData();
    }
    EXPECT_EQ(m_controller->position(), (MachinePosition{-20000, 20000, 0}));  // over (6, 5)
    HeightMap expected = HeightMap::zeros(6, 5);
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 6; ++i)
            expected.at(i, j) = TestSurfaceSample(-(i - 1) * 4000, (j - 1) * 5000);
    EXPECT_EQ(m_record.samples, expected);
    EXPECT_EQ(m_picture.greyAt(10, 10), std::clamp(expected.at(1, 1), 0, 255));
    RescaleHeightMap(expected);
    EXPECT_EQ(m_record.map, expected);
    EXPECT_TRUE(m_record.live);
    EXPECT_EQ(m_record.taken, 30);
    EXPECT_DOUBLE_EQ(m_record.pitchXmm, 20);
    EXPECT_DOUBLE_EQ(m_record.pitchYmm, 25);
    EXPECT_EQ(m_shown.size(), 30);
    ASSERT_EQ(m_host.reports.size(), 30);
    EXPECT_EQ(m_host.reports.back().done, 30);
    EXPECT_EQ(m_host.reports.back().total, 30);
    EXPECT_EQ(m_host.messages, QStringList{QStringLiteral("Strugal|Сканирвание завершено")});
}

TEST_F(ScanJobTest, DryRunSendsNothingAndKeepsRandomSamples) {
    m_host.output = false;
    ASSERT_FALSE(scan(kDefaults).has_value());
    EXPECT_TRUE(m_controller->lines().isEmpty());
    EXPECT_FALSE(m_record.live);
    EXPECT_EQ(m_record.map, m_record.samples);  // not rescaled
    for (const qint32 v : m_record.map.values) EXPECT_TRUE(v >= 0 && v <= 255);
    EXPECT_EQ(m_host.sleeps.count(10), 30);
}

TEST_F(ScanJobTest, RefusalsMoveNothingAndKeepTheMap) {
    m_record.map = HeightMap{1, 1, {42}};
    const std::pair<ScanFieldTexts, const char*> cases[] = {
        {{"5", "4", "100", "100"}, "Размер сетки по X должен быть кратным 4"},
        {{"6", "5", "0", "100"}, "Область сканирования по X должна быть числом больше 0 (мм)."},
        {{"6", "5", "100", "x"}, "Область сканирования по Y должна быть числом больше 0 (мм)."},
        {{"300", "5", "100", "100"},
         "Картинка слишком мала для сетки 300 × 5 точек: увеличьте размеры изображения."},
    };
    for (const auto& [fields, message] : cases) {
        SCOPED_TRACE(message);
        const std::optional<JobEnded> ended = scan(fields);
        ASSERT_TRUE(ended.has_value());
        EXPECT_EQ(ended->reason(), JobEnded::Reason::Refused);
        EXPECT_EQ(ended->message(), QString::fromUtf8(message));
    }
    testProgram().settings.values().StepRatioY = 0;
    EXPECT_EQ(scan(kDefaults)->reason(), JobEnded::Reason::Refused);
    EXPECT_TRUE(m_controller->lines().isEmpty());
    EXPECT_EQ(m_record.map, (HeightMap{1, 1, {42}}));
}

// "Стоп" during the scan: it ends after the reply in flight; the samples taken stay, unscaled.
TEST_F(ScanJobTest, StopEndsAfterTheCurrentReplyAndKeepsTheSamples) {
    m_host.onEvents = [this](FakeJobHost& host) {
        if (m_record.taken == 7) host.stop = StopLevel::Stop;
    };
    m_host.output = false;  // dry runs let events run after every sample
    const std::optional<JobEnded> ended = scan(kDefaults);
    ASSERT_TRUE(ended.has_value());
    EXPECT_EQ(ended->reason(), JobEnded::Reason::Stopped);
    EXPECT_TRUE(ended->message().contains(QStringLiteral("снято 7 точек из 30")))
        << qPrintable(ended->message());
    EXPECT_EQ(m_record.taken, 7);
    EXPECT_EQ(m_record.map, m_record.samples);
    EXPECT_EQ(m_record.map.at(1, 4), 0);  // the eighth point, not reached
    EXPECT_TRUE(m_host.messages.isEmpty());
}

}  // namespace
