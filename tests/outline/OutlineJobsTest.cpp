#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "app/config/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "outline/OutlineJobs.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

class RecordingHost : public FakeJobHost {
public:
    void redraw(const QRect& changed) override {
        redraws.append(changed);
        if (onRedraw) onRedraw(*this, int(redraws.size()));
    }
    void showMessage(const MessageTitle& title, const QString& text) override {
        messages.append(title.toString() + ": " + text);
    }
    QList<QRect> redraws;
    QStringList messages;
    std::function<void(RecordingHost&, int redraws)> onRedraw;
};

struct Rectangle {
    int left, top, right, bottom;
    int grey = 0;  // the pixels' bytes
};

PixelBuffer pictureWith(int width, int height, const std::vector<Rectangle>& rectangles) {
    PixelBuffer picture = PixelBuffer::white(width, height);
    for (const Rectangle& r : rectangles) {
        for (int y = r.top; y <= r.bottom; ++y)
            for (int x = r.left; x <= r.right; ++x)
                picture.paint(x, y, std::uint8_t(r.grey), std::uint8_t(r.grey),
                              std::uint8_t(r.grey));
    }
    return picture;
}

// The outlining window's state with a controller that answers every line; one step per pixel.
class OutlineJobsTest : public ::testing::Test {
protected:
    void load(const PixelBuffer& picture) {
        source = work = laser = picture;
        analysis = ParseFigures(work);
        host.fields[JobField::FinishedWidth] = QString::number(picture.width);
    }
    void SetUp() override {
        testProgram().settings.values().StepRatioX = testProgram().settings.values().StepRatioY =
            testProgram().settings.values().StepRatioZ = 1.0;
        script = std::make_shared<PortScript>();
        script->perLine = {"OK\r\n"};
        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
        host.timeoutMs = 1000;  // a wait for an answer that no line asked for fails
    }
    void TearDown() override {
        testProgram().link.close();
        testProgram().settings.values() = ProgramSettings();
    }
    OutlineJobs jobs() {
        return OutlineJobs({source, work, laser, analysis, tool}, host, protocol);
    }
    QStringList lines() const {
        QStringList out;
        for (const QByteArray& line : script->written) out << QString::fromLatin1(line);
        return out;
    }
    // Every line sent has had its one "OK" and none is left over for a later wait.
    void expectEveryLineAnswered() const {
        EXPECT_TRUE(script->arrivals.isEmpty()) << "answers not awaited";
        EXPECT_TRUE(protocol.replyBuffer().isEmpty());
        EXPECT_EQ(script->delivered.count("OK"), script->written.size());
    }
    JobEnded stopped(const std::function<void()>& job) {
        try {
            job();
        } catch (const JobEnded& ended) {
            return ended;
        }
        ADD_FAILURE() << "the job should have ended";
        return JobEnded(JobEnded::Reason::Refused, {}, {});
    }

    PixelBuffer source, work, laser;
    FigureAnalysis analysis;
    ToolPosition tool;
    RecordingHost host;
    MoveProtocol protocol{MoveRules::Outlining, host, testProgram().link,
                          testProgram().settings.values()};
    std::shared_ptr<PortScript> script;
};

const QStringList kSquareSteps = {"1,0,0;",  "1,0,0;",  "1,0,0;",  "0,1,0;",  "0,1,0;",  "0,1,0;",
                                  "-1,0,0;", "-1,0,0;", "-1,0,0;", "0,-1,0;", "0,-1,0;", "0,-1,0;"};

TEST_F(OutlineJobsTest, SquareIsOpenedTracedAndClosedWithEveryLineAnswered) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    jobs().EngraveSelected(2);
    EXPECT_EQ(lines(), QStringList({"1,1,0;", "0,0,1;"}) + kSquareSteps + QStringList{"0,0,-1;"});
    expectEveryLineAnswered();
    EXPECT_EQ(tool.ToolX, 2);
    EXPECT_EQ(tool.ToolY, 2);
}

TEST_F(OutlineJobsTest, GreyLevelChangesNoLine) {
    load(pictureWith(8, 8, {{2, 2, 5, 5, 0}}));
    jobs().EngraveSelected(2);
    const QStringList black = lines();
    script->written.clear();
    load(pictureWith(8, 8, {{2, 2, 5, 5, 90}}));
    jobs().EngraveSelected(2);
    EXPECT_EQ(lines(), black);
}

TEST_F(OutlineJobsTest, DryRunSendsNothingAndDrawsTheSmallMarks) {
    load(pictureWith(8, 8, {{3, 3, 5, 5}}));
    host.output = false;
    jobs().EngraveSelected(2);
    EXPECT_TRUE(script->written.isEmpty());
    EXPECT_EQ(host.sleeps.count(1), 8);
    for (int y = 1; y <= 8; ++y) {
        for (int x = 1; x <= 8; ++x) {
            const bool marked = x >= 2 && x <= 6 && y >= 2 && y <= 6;
            EXPECT_EQ(laser.first(x, y) == 0 && laser.pixel(x, y)[2] == 255, marked)
                << x << "," << y;
        }
    }
}

// A second job starts on the picture alone: the first one's marks are gone before its first
// line, and at its end only its own figure is marked.
TEST_F(OutlineJobsTest, EachJobStartsOnACleanLaserLayer) {
    load(pictureWith(16, 8, {{2, 2, 4, 4}, {10, 2, 12, 4}}));
    host.output = false;
    jobs().EngraveSelected(2);
    const auto marked = [this](int fromX, int toX) {
        int count = 0;
        for (int y = 1; y <= 8; ++y)
            for (int x = fromX; x <= toX; ++x)
                count += laser.pixel(x, y)[0] != source.pixel(x, y)[0];
        return count;
    };
    ASSERT_GT(marked(1, 6), 0);
    const std::int32_t second = analysis.labels.at(10, 2);
    int markedAtFirstRedraw = -1;
    host.onRedraw = [&](RecordingHost&, int) {
        if (markedAtFirstRedraw < 0) markedAtFirstRedraw = marked(1, 16);
    };
    jobs().EngraveSelected(second);
    EXPECT_EQ(markedAtFirstRedraw, 0);
    EXPECT_EQ(marked(1, 7), 0);
    EXPECT_GT(marked(8, 16), 0);
}

TEST_F(OutlineJobsTest, StopMidBorderSwitchesTheLaserOffAndSendsNothingAfter) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    host.onRedraw = [](RecordingHost& h, int redraws) {
        if (redraws == 4) h.stop = StopLevel::Stop;  // after the cleared layer and 3 steps
    };
    auto job = jobs();
    const JobEnded ended = stopped([&] { job.EngraveSelected(2); });
    EXPECT_EQ(ended.reason(), JobEnded::Reason::Stopped);
    EXPECT_TRUE(ended.message().contains("Лазер выключен")) << ended.message().toStdString();
    EXPECT_TRUE(ended.message().contains("(5, 2)")) << ended.message().toStdString();
    EXPECT_EQ(lines(),
              QStringList({"1,1,0;", "0,0,1;"}) + kSquareSteps.mid(0, 3) + QStringList{"0,0,-1;"});
    expectEveryLineAnswered();
}

TEST_F(OutlineJobsTest, ClearingTheBoxMidBorderSwitchesTheLaserOffAndTickingItOnAgain) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    host.onRedraw = [](RecordingHost& h, int redraws) {
        if (redraws == 4) h.output = false;  // the first redraw shows the cleared layer
        if (redraws == 7) h.output = true;
    };
    jobs().EngraveSelected(2);
    const QStringList expected = QStringList({"1,1,0;", "0,0,1;"}) + kSquareSteps.mid(0, 3) +
                                 QStringList({"0,0,-1;", "0,0,1;"}) + kSquareSteps.mid(6) +
                                 QStringList{"0,0,-1;"};
    EXPECT_EQ(lines(), expected);
    expectEveryLineAnswered();
}

TEST_F(OutlineJobsTest, StepRefusedMidBorderStillSwitchesTheLaserOff) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    host.onRedraw = [](RecordingHost& h, int redraws) {
        if (redraws == 3) h.fields[JobField::FinishedWidth] = "abc";  // the cleared layer, 2 steps
    };
    auto job = jobs();
    EXPECT_EQ(stopped([&] { job.EngraveSelected(2); }).reason(), JobEnded::Reason::Refused);
    EXPECT_EQ(lines(),
              QStringList({"1,1,0;", "0,0,1;"}) + kSquareSteps.mid(0, 2) + QStringList{"0,0,-1;"});
    expectEveryLineAnswered();
}

TEST_F(OutlineJobsTest, AllBordersOnceEachDeepestFirst) {
    PixelBuffer picture = pictureWith(12, 14, {{2, 2, 8, 8}, {2, 11, 4, 13}});
    for (int y = 3; y <= 7; ++y)
        for (int x = 3; x <= 7; ++x) picture.paintWhite(x, y);
    picture.paint(5, 5, 0, 0, 0);
    load(picture);
    jobs().EngraveAllBorders();
    ASSERT_FALSE(lines().isEmpty());
    EXPECT_EQ(lines().first(), "4,4,0;") << "the dot, the deepest figure, first";
    EXPECT_EQ(lines().count("0,0,1;"), 4) << "dot, frame around its hole and outside, square";
    expectEveryLineAnswered();
    const int sent = lines().size();
    EXPECT_THROW(jobs().EngraveAllBorders(), JobEnded) << "a second run without a parse";
    EXPECT_EQ(lines().size(), sent);
}

TEST_F(OutlineJobsTest, FilledDiscGetsOneRingPerParseFourPixelsApart) {
    PixelBuffer picture = PixelBuffer::white(40, 40);
    for (int y = 1; y <= 40; ++y)
        for (int x = 1; x <= 40; ++x)
            if ((x - 20) * (x - 20) + (y - 20) * (y - 20) <= 15 * 15) picture.paint(x, y, 0, 0, 0);
    load(picture);
    jobs().EngraveAllFilled();
    EXPECT_TRUE(host.messages.isEmpty()) << host.messages.join("\n").toStdString();
    EXPECT_FALSE(analysis.hasTree()) << "filled until a parse found nothing";
    // The path of each border: the tool's positions between its opening and closing lines.
    std::vector<std::vector<QPoint>> rings;
    QPoint at(1, 1);
    bool open = false;
    for (const QByteArray& line : script->written) {
        if (line == "0,0,1;") rings.emplace_back();
        open = line == "0,0,-1;" ? false : open || line == "0,0,1;";
        const QList<QByteArray> fields = line.chopped(1).split(',');
        at += QPoint(fields[0].toInt(), fields[1].toInt());
        if (open) rings.back().push_back(at);
    }
    ASSERT_GE(rings.size(), 3u) << "one border per ring";
    // Every pixel of a ring lies four pixels (diagonals counting as one) inside the previous
    // ring, and some pixel of the previous ring is exactly that far.
    for (std::size_t r = 1; r < rings.size(); ++r) {
        for (const QPoint inner : rings[r]) {
            int nearest = 1000;
            for (const QPoint outer : rings[r - 1]) {
                nearest = std::min(nearest, std::max(std::abs(inner.x() - outer.x()),
                                                     std::abs(inner.y() - outer.y())));
            }
            EXPECT_EQ(nearest, 4) << "ring " << r + 1 << " at " << inner.x() << "," << inner.y();
        }
    }
    EXPECT_EQ(lines().count("0,0,1;"), lines().count("0,0,-1;"));
    expectEveryLineAnswered();
}

TEST_F(OutlineJobsTest, FilledStopsWhenOffsetsChangeNothing) {
    // Dark pixels along the picture's edge are never reached by an offset.
    PixelBuffer picture = pictureWith(10, 10, {{1, 1, 10, 10}});
    for (int y = 4; y <= 7; ++y)
        for (int x = 4; x <= 7; ++x) picture.paintWhite(x, y);
    load(picture);
    host.output = false;
    jobs().EngraveAllFilled();
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages.first().contains("нельзя заполнить"))
        << host.messages.first().toStdString();
}

TEST_F(OutlineJobsTest, RefusedBeforeAnythingIsSent) {
    EXPECT_THROW(jobs().EngraveAllBorders(), JobEnded) << "no tree";
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    EXPECT_THROW(jobs().EngraveSelected(std::nullopt), JobEnded) << "no selection";
    for (const QString width : {"abc", "0", "-5"}) {
        host.fields[JobField::FinishedWidth] = width;
        EXPECT_THROW(jobs().EngraveAllFilled(), JobEnded) << width.toStdString();
    }
    EXPECT_TRUE(lines().isEmpty());
}

}  // namespace
