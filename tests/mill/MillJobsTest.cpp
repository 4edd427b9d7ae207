#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "app/config/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "mill/MillJobs.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

// A host that also keeps the messages and the redrawn rectangles.
class RecordingHost : public FakeJobHost {
public:
    void redraw(const QRect& changed) override {
        redraws.append(changed);
        if (redraws.size() == stopAfterRedraws) stop = StopLevel::Stop;
    }
    void showMessage(const MessageTitle& title, const QString& text) override {
        messages.append(title.toString() + ": " + text);
    }
    void reportProgress(const JobProgress& progress) override { lastProgress = progress.what; }
    QList<QRect> redraws;
    QStringList messages;
    QString lastProgress;
    int stopAfterRedraws = -1;  // asks to stop after that many redraws
};

// A light picture with dark rectangles; `level` is the darkness (255 black).
struct Rectangle {
    int left, top, right, bottom;
    int level = 255;
};

PixelBuffer pictureWith(int width, int height, const std::vector<Rectangle>& rectangles) {
    PixelBuffer picture = PixelBuffer::white(width, height);
    for (const Rectangle& r : rectangles) {
        const auto byte = std::uint8_t(255 - r.level);
        for (int y = r.top; y <= r.bottom; ++y) {
            for (int x = r.left; x <= r.right; ++x) picture.paint(x, y, byte, byte, byte);
        }
    }
    return picture;
}

// The milling window's state with a controller that answers every line. The factors are one
// step per pixel and one Z step per level, so the lines read as the pixel moves themselves.
class MillJobsTest : public ::testing::Test {
protected:
    void load(const PixelBuffer& picture) {
        source = work = cutter = picture;
        analysis = ParseFigures(work);
        host.fields[JobField::FinishedWidth] = QString::number(picture.width);
        host.fields[JobField::Depth] = "255";
        host.fields[JobField::Diameter] = "1";
    }
    void SetUp() override {
        testProgram().settings.values().StepRatioX = testProgram().settings.values().StepRatioY =
            testProgram().settings.values().StepRatioZ = 1.0;
        script = std::make_shared<PortScript>();
        script->perLine = {"OK\r\n"};
        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
    }
    void TearDown() override {
        testProgram().link.close();
        testProgram().settings.values() = ProgramSettings();
    }
    MillJobs jobs() {
        return MillJobs({source, work, cutter, analysis, cutterSize, tool}, host, protocol);
    }
    // The message of the JobEnded that `run` ends with; empty when it returns.
    template <typename Run>
    static QString refusalOf(Run run) {
        try {
            run();
        } catch (const JobEnded& ended) {
            return ended.message();
        }
        return {};
    }
    QStringList lines() const {
        QStringList out;
        for (const QByteArray& line : script->written) out << QString::fromLatin1(line);
        return out;
    }

    PixelBuffer source, work, cutter;
    FigureAnalysis analysis;
    CutterSize cutterSize;
    ToolPosition tool;
    RecordingHost host;
    MoveProtocol protocol{MoveRules::Milling, host, testProgram().link,
                          testProgram().settings.values()};
    std::shared_ptr<PortScript> script;
};

TEST_F(MillJobsTest, SquareIsCutClockwiseFromItsTopLeftPixel) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    jobs().MillSelected(2);
    EXPECT_EQ(lines(), QStringList({"1,1,0;", "0,0,-255;", "1,0,0;", "1,0,0;", "1,0,0;", "0,1,0;",
                                    "0,1,0;", "0,1,0;", "-1,0,0;", "-1,0,0;", "-1,0,0;", "0,-1,0;",
                                    "0,-1,0;", "0,-1,0;", "0,0,255;"}));
    EXPECT_EQ(tool.ToolX, 2);
    EXPECT_EQ(tool.ToolY, 2);
    EXPECT_EQ(script->delivered.count("OK"), lines().size()) << "every line was awaited";
}

TEST_F(MillJobsTest, BorderAroundAChildComesFirstThenTheToolTravelsInTheSurface) {
    PixelBuffer picture = pictureWith(8, 8, {{2, 2, 5, 5}});
    for (int y = 3; y <= 4; ++y)
        for (int x = 3; x <= 4; ++x) picture.paintWhite(x, y);
    load(picture);
    jobs().MillSelected(2);
    const QStringList expected = {"2,1,0;",   "0,0,-255;", "-1,1,0;",  "0,1,0;",   "1,1,0;",
                                  "1,0,0;",   "1,-1,0;",   "0,-1,0;",  "-1,-1,0;", "-1,0,0;",
                                  "0,0,255;", "-1,0,0;",   "0,0,-255;"};
    ASSERT_GT(lines().size(), expected.size());
    EXPECT_EQ(lines().mid(0, expected.size()), expected);
    EXPECT_EQ(lines().size(), expected.size() + 13) << "12 steps and the lift of the outer border";
}

TEST_F(MillJobsTest, OnePixelFigureStepsToItsUpperRightNeighbourAndBack) {
    load(pictureWith(6, 6, {{3, 3, 3, 3}}));
    jobs().MillSelected(2);
    // The neighbour is white: level 0, so the step rises by 255 and the way back plunges again.
    EXPECT_EQ(lines(), QStringList({"2,2,0;", "0,0,-255;", "1,-1,255;", "-1,1,-255;", "0,0,255;"}));
}

TEST_F(MillJobsTest, OnePixelFigureInTheTopRowReadsTheSurfaceAboveThePicture) {
    load(pictureWith(5, 4, {{5, 1, 5, 1}, {1, 3, 5, 4}}));
    host.fields[JobField::Diameter] = "3";  // marks reach beyond the picture and are skipped
    const int figure = analysis.labels.at(5, 1);
    jobs().MillSelected(figure);
    EXPECT_EQ(lines(), QStringList({"4,0,0;", "0,0,-255;", "1,-1,255;", "-1,1,-255;", "0,0,255;"}));
}

TEST_F(MillJobsTest, DryRunSendsNothingAndStillDrawsEveryStep) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    host.output = false;
    jobs().MillSelected(2);
    EXPECT_TRUE(script->written.isEmpty());
    EXPECT_EQ(host.sleeps.count(1), 12);
    EXPECT_EQ(host.redraws.size(), 12);
    EXPECT_EQ(cutter.first(3, 2), 0);
    EXPECT_EQ(cutter.pixel(3, 2)[2], 255) << "marks are pure red";
    EXPECT_EQ(cutter.first(4, 4), 0) << "inside of the square is untouched (already black)";
    EXPECT_EQ(cutter.first(1, 1), 255);
    EXPECT_EQ(host.lastProgress,
              "готово, шагов: 12 — сухой прогон, на станок ничего не отправлено");

    host.output = true;
    jobs().MillSelected(2);
    EXPECT_FALSE(lines().isEmpty());
    EXPECT_FALSE(host.lastProgress.contains("сухой прогон")) << host.lastProgress.toStdString();
}

TEST_F(MillJobsTest, AllCutsDarkFiguresDeepestFirstOnceAndLeavesLightOnes) {
    // A dark frame (depth 1) with a light hole (depth 2) holding a dark dot (depth 3), and a
    // separate dark square (depth 1) further down.
    PixelBuffer picture = pictureWith(12, 14, {{2, 2, 8, 8}, {2, 11, 4, 13}});
    for (int y = 3; y <= 7; ++y)
        for (int x = 3; x <= 7; ++x) picture.paintWhite(x, y);
    picture.paint(5, 5, 0, 0, 0);
    load(picture);
    const int dot = analysis.labels.at(5, 5);
    const int frame = analysis.labels.at(2, 2);
    const int square = analysis.labels.at(2, 11);
    ASSERT_EQ(analysis.figure(dot)->Depth, 3);

    jobs().MillAll();
    // The first travel goes to the dot, the deepest figure; then the frame, first in scan order.
    ASSERT_FALSE(lines().isEmpty());
    EXPECT_EQ(lines().first(), "4,4,0;");
    EXPECT_EQ(analysis.figure(dot)->State, kFinished);
    EXPECT_EQ(analysis.figure(frame)->State, kFinished);
    EXPECT_EQ(analysis.figure(square)->State, kFinished);
    EXPECT_EQ(analysis.figure(analysis.labels.at(4, 4))->State, kInUse) << "light hole not cut";
    EXPECT_EQ(analysis.figure(1)->State, kInUse);

    const int sent = lines().size();
    EXPECT_EQ(refusalOf([&] { jobs().MillAll(); }),
              "Нечего фрезеровать: все фигуры уже обработаны — нажмите «Разобрать».")
        << "a second run without a parse has nothing to cut";
    EXPECT_EQ(lines().size(), sent);
}

TEST_F(MillJobsTest, FiguresOfEqualDepthAreCutInScanOrder) {
    load(pictureWith(12, 8, {{8, 2, 9, 3}, {2, 4, 3, 5}}));
    jobs().MillAll();
    EXPECT_EQ(lines().first(), "7,1,0;") << "the square whose first pixel comes first";
}

TEST_F(MillJobsTest, LightFigureIsCutOnlyWhenSelected) {
    PixelBuffer picture = pictureWith(8, 8, {{2, 2, 6, 6}});
    picture.paintWhite(4, 4);
    load(picture);
    const int hole = analysis.labels.at(4, 4);
    jobs().MillSelected(hole);
    EXPECT_FALSE(lines().isEmpty());
    EXPECT_EQ(analysis.figure(hole)->State, kInUse) << "a selected cut leaves the state alone";
}

TEST_F(MillJobsTest, SelectingTheBackgroundTracesThePictureBorderAndEnds) {
    load(pictureWith(7, 6, {{3, 3, 4, 4}}));
    host.output = false;
    jobs().MillSelected(1);
    EXPECT_TRUE(host.messages.isEmpty()) << host.messages.join("\n").toStdString();
    EXPECT_EQ(tool.ToolX, 1);
    EXPECT_EQ(tool.ToolY, 1);
    for (const QPoint corner : {QPoint(7, 1), QPoint(7, 6), QPoint(1, 6), QPoint(3, 2)}) {
        EXPECT_EQ(cutter.first(corner.x(), corner.y()), 0) << corner.x() << "," << corner.y();
    }
    EXPECT_EQ(cutter.first(2, 2), 255) << "the border around the child cuts its corners";
}

// "Все" with nothing to cut says why instead of ending as if it had done its work.
TEST_F(MillJobsTest, AllWithNothingToCutSaysWhyAndSendsNothing) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    analysis.emptyTables();
    EXPECT_EQ(refusalOf([&] { jobs().MillAll(); }),
              "Нечего фрезеровать: после «Градиент» или «Отступить» фигуры надо разобрать заново "
              "— нажмите «Разобрать».");
    EXPECT_TRUE(lines().isEmpty());
}

TEST_F(MillJobsTest, StopInsideABorderLiftsTheCutterAndSendsNothingAfter) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    host.stopAfterRedraws = 3;
    auto job = jobs();
    try {
        job.MillSelected(2);
        FAIL() << "the job should have ended";
    } catch (const JobEnded& ended) {
        EXPECT_EQ(ended.reason(), JobEnded::Reason::Stopped);
        EXPECT_TRUE(ended.message().contains("(5, 2)")) << ended.message().toStdString();
    }
    ASSERT_FALSE(lines().isEmpty());
    EXPECT_EQ(lines().last(), "0,0,255;");
    EXPECT_EQ(lines().size(), 2 + 3 + 1) << "travel, plunge, three steps, the lift";
}

TEST_F(MillJobsTest, Cut3DEndsWhenAnOffsetChangesNothing) {
    // Dark pixels along the picture's edge never go: the offset never reaches them.
    load(pictureWith(10, 10, {{1, 1, 10, 10}}));
    for (int y = 4; y <= 7; ++y)
        for (int x = 4; x <= 7; ++x) source.paintWhite(x, y);
    work = source;
    analysis = ParseFigures(work);
    host.fields[JobField::Diameter] = "1";
    host.output = false;
    jobs().Cut3D();
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages.first().contains("нельзя уменьшить"))
        << host.messages.first().toStdString();
}

TEST_F(MillJobsTest, Cut3DClearsNestedRingsUntilTheTreeIsEmpty) {
    load(pictureWith(30, 30, {{6, 6, 24, 24}}));
    host.fields[JobField::Diameter] = "2";
    host.output = false;
    jobs().Cut3D();
    EXPECT_FALSE(analysis.hasTree());
    EXPECT_TRUE(host.messages.isEmpty());
    EXPECT_EQ(cutter.first(15, 15), 0) << "the middle of the square was reached by a ring";
}

TEST_F(MillJobsTest, FieldsThatAreNotNumbersRefuseBeforeAnythingIsSent) {
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    for (const auto& [field, text] :
         std::vector<std::pair<JobField, QString>>{{JobField::FinishedWidth, "abc"},
                                                   {JobField::FinishedWidth, "0"},
                                                   {JobField::Depth, ""},
                                                   {JobField::Diameter, "1,2,3"}}) {
        host.fields[JobField::FinishedWidth] = "8";
        host.fields[JobField::Depth] = "255";
        host.fields[JobField::Diameter] = "1";
        host.fields[field] = text;
        SCOPED_TRACE(text.toStdString());
        try {
            jobs().MillAll();
            ADD_FAILURE() << "refused";
        } catch (const JobEnded& ended) {
            EXPECT_EQ(ended.field(), field) << "the field at fault is named for the focus";
        }
        EXPECT_TRUE(lines().isEmpty());
    }
}

TEST_F(MillJobsTest, GuardsRefuseWithoutTreeOrSelection) {
    try {
        jobs().MillAll();
        FAIL();
    } catch (const JobEnded& ended) {
        EXPECT_TRUE(ended.message().startsWith("Изображение не загружено или не разобрано."));
    }
    load(pictureWith(8, 8, {{2, 2, 5, 5}}));
    try {
        jobs().MillSelected(std::nullopt);
        FAIL();
    } catch (const JobEnded& ended) {
        EXPECT_EQ(ended.message(), "Не выбрана фигура.\r\nВыберите фигуру в дереве.");
    }
    EXPECT_TRUE(lines().isEmpty());
}

}  // namespace
