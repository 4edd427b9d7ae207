#include "engrave/PictureEngraving.h"

#include <gtest/gtest.h>

#include <QRegion>
#include <random>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

const QByteArray kOk = "OK\r\n";

// A host that also records what the job shows: redraws, progress and messages. Its clock moves
// by `msPerClockRead` at every read, so that frames pass during a job without real time.
class RecordingHost : public FakeJobHost {
public:
    void redraw(const QRect& changed) override { redrawn += changed; }
    void reportProgress(const JobProgress& progress) override { reports.append(progress); }
    void showMessage(const MessageTitle& title, const QString& text) override {
        messages.append(title.toString() + ": " + text);
    }
    std::int64_t clockMs() const override { return ticks += msPerClockRead, now + ticks; }

    QRegion redrawn;
    QList<JobProgress> reports;
    QStringList messages;
    int msPerClockRead = 0;
    mutable std::int64_t ticks = 0;
};

// The literal procedure: every pixel of every row in the walking order, one line per pixel that
// is not white, and after each the whole picture copied back with that pixel's red set.
struct ReferenceRun {
    QList<QByteArray> lines;
    PixelBuffer picture;
};

ReferenceRun referenceEngraving(PixelBuffer picture, qint64 perPixelX, qint64 perPixelY) {
    ReferenceRun run;
    run.lines.append(formatMoveLine(0, 0, qint32(-perPixelX)));
    int lastX = 1, lastY = 1;
    for (int y = 1; y <= picture.height; ++y) {
        for (int i = 1; i <= picture.width; ++i) {
            const int x = y % 2 == 1 ? i : picture.width + 1 - i;
            const int v = picture.first(x, y);
            if (v == 255) continue;
            run.lines.append(formatMoveLine(qint32((x - lastX) * perPixelX),
                                            qint32((y - lastY) * perPixelY), 255 - v));
            lastX = x;
            lastY = y;
            PixelBuffer copy = picture;
            copy.pixel(x, y)[2] = 255;
            picture = copy;
        }
    }
    run.picture = picture;
    return run;
}

class PictureEngravingTest : public testing::Test {
protected:
    void SetUp() override {
        testProgram().settings.values() = ProgramSettings{};
        testProgram().settings.values().StepRatioX = testProgram().settings.values().StepRatioY =
            0.01;
        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
        script->perLine = {kOk};
        host.fields[JobField::FinishedWidth] = "2";
        host.timeoutMs = 60000;  // a wait that outlives its script ends instead of hanging
    }
    void TearDown() override {
        testProgram().link.close();
        testProgram().settings.values() = ProgramSettings{};
    }
    // Runs the job; returns the message of a JobEnded, empty when it ended normally.
    QString engrave(PixelBuffer& picture) {
        MoveProtocol protocol(MoveRules::Engraving, host, testProgram().link,
                              testProgram().settings.values());
        try {
            EngravePicture(picture, host, protocol, &state);
        } catch (const JobEnded& ended) {
            reason = ended.reason();
            refusedField = ended.field();
            return ended.message();
        }
        return {};
    }
    static PixelBuffer grey(int width, int height, std::initializer_list<int> values) {
        PixelBuffer picture = PixelBuffer::white(width, height);
        auto v = values.begin();
        for (int y = 1; y <= height; ++y)
            for (int x = 1; x <= width; ++x, ++v) picture.paint(x, y, *v, *v, *v);
        return picture;
    }

    std::shared_ptr<PortScript> script = std::make_shared<PortScript>();
    RecordingHost host;
    EngravingState state;
    JobEnded::Reason reason = JobEnded::Reason::Refused;
    std::optional<JobField> refusedField;
};

TEST_F(PictureEngravingTest, WorkedExampleTwoByTwo) {
    PixelBuffer picture = grey(2, 2, {0, 255, 128, 255});
    EXPECT_EQ(engrave(picture), QString());
    EXPECT_EQ(script->written, (QList<QByteArray>{"0,0,-100;", "0,0,255;", "0,100,127;"}));
    EXPECT_EQ(host.messages, QStringList{"Лазерная гравировка: Гравировка закончена!"});
    EXPECT_EQ(picture.pixel(1, 1)[2], 255);
    EXPECT_EQ(picture.pixel(1, 2)[0], 128) << "only the red byte is marked";
    EXPECT_EQ(picture.pixel(1, 2)[2], 255);
    EXPECT_EQ(picture.pixel(2, 2)[2], 255) << "white stays white";
    EXPECT_EQ(host.redrawn, QRegion(QRect(1, 1, 1, 2)));
}

TEST_F(PictureEngravingTest, AllWhiteSendsOnlyTheOpeningLine) {
    host.fields[JobField::FinishedWidth] = "4,5";
    PixelBuffer picture = PixelBuffer::white(30, 20);
    const PixelBuffer before = picture;
    EXPECT_EQ(engrave(picture), QString());
    EXPECT_EQ(script->written, QList<QByteArray>{"0,0,-15;"});
    EXPECT_EQ(host.messages, QStringList{"Лазерная гравировка: Гравировка закончена!"});
    EXPECT_EQ(picture, before);
}

// The fast job sends exactly the literal procedure's lines and leaves exactly its picture, on
// pictures of many sizes, shades, densities of white and scales (also a reversed axis).
TEST_F(PictureEngravingTest, MatchesTheLiteralProcedureOnGeneratedPictures) {
    std::mt19937 random(12);
    // Every line sent costs the port's 2 ms pause, so the pictures stay small.
    for (int round = 0; round < 40; ++round) {
        const int width = 1 + int(random() % 21), height = 1 + int(random() % 12);
        const int whiteShare = int(random() % 101);
        PixelBuffer picture = PixelBuffer::white(width, height);
        for (int y = 1; y <= height; ++y)
            for (int x = 1; x <= width; ++x)
                if (int(random() % 100) >= whiteShare)
                    picture.paint(x, y, random() % 256, random() % 256, random() % 256);
        const double ratioX = round % 7 == 3 ? -0.005 : 0.005 * (1 + round % 3);
        testProgram().settings.values().StepRatioX = ratioX;
        testProgram().settings.values().StepRatioY = 0.005;
        const int widthMm = 10 + int(random() % 300);
        host.fields[JobField::FinishedWidth] = QString::number(widthMm);
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << width << "x" << height
                                        << ", " << widthMm << " mm");
        script->written.clear();
        const qint64 perPixelX = qint64(std::nearbyint(widthMm / ratioX / width));
        const qint64 perPixelY = qint64(std::nearbyint(widthMm / 0.005 / width));
        if (perPixelX == 0 || perPixelY == 0) continue;
        const ReferenceRun expected = referenceEngraving(picture, perPixelX, perPixelY);
        ASSERT_EQ(engrave(picture), QString());
        EXPECT_EQ(script->written, expected.lines);
        EXPECT_EQ(picture, expected.picture);
        EXPECT_EQ(state.burnt, expected.lines.size() - 1);
    }
}

// Frames pass during the job: each burnt pixel reaches a redraw, events run between frames,
// and the progress counts burnt pixels of a total known from the start.
TEST_F(PictureEngravingTest, RedrawsAndReportsInFrames) {
    host.output = false;
    host.msPerClockRead = 1;
    PixelBuffer picture = PixelBuffer::white(50, 40);
    QRegion burnt;
    for (int y = 1; y <= 40; y += 3)
        for (int x = 1 + y % 5; x <= 50; x += 2) {
            picture.paint(x, y, 10, 10, 10);
            burnt += QRect(x, y, 1, 1);
        }
    const std::int64_t total = countEngraving(picture).burntTotal;
    EXPECT_EQ(engrave(picture), QString());
    EXPECT_TRUE(script->written.isEmpty()) << "a dry run sends nothing";
    EXPECT_EQ(host.redrawn.intersected(burnt), burnt);
    EXPECT_GT(host.eventRounds, 10);
    ASSERT_GT(host.reports.size(), 10);
    for (const JobProgress& report : host.reports) EXPECT_EQ(report.total, total);
    EXPECT_EQ(host.reports.front().done, 0);
    EXPECT_EQ(host.reports.back().done, total);
    EXPECT_EQ(host.reports.back().what, QStringLiteral("строка 40 из 40"));
}

TEST_F(PictureEngravingTest, RefusesBeforeSendingAnything) {
    struct Case {
        const char* width;
        double ratio;
        int pictureWidth;
        const char* message;
        bool widthAtFault = true;  // the window focuses the width field
    };
    for (const Case& c : {
             Case{"abc", 0.01, 2, "Введите число в поле «Ширина»!"},
             Case{"", 0.01, 2, "Введите число в поле «Ширина»!"},
             Case{"0", 0.01, 2, "должна быть больше 0"},
             Case{"-5", 0.01, 2, "должна быть больше 0"},
             Case{"0,004", 0.01, 2, "0 шагов по оси X"},
             Case{"200", 0, 2, "Не задан шаг двигателя по оси X", false},
             Case{"200", 1e-12, 2, "не помещается", false},
             Case{"3000", 0.000001, 1000, "не помещается"},
         }) {
        SCOPED_TRACE(c.width);
        host.fields[JobField::FinishedWidth] = c.width;
        testProgram().settings.values().StepRatioX = c.ratio;
        PixelBuffer picture = PixelBuffer::white(c.pictureWidth, 2);
        picture.paint(1, 1, 0, 0, 0);
        EXPECT_TRUE(engrave(picture).contains(QString::fromUtf8(c.message)));
        EXPECT_EQ(reason, JobEnded::Reason::Refused);
        EXPECT_EQ(refusedField == JobField::FinishedWidth, c.widthAtFault);
        EXPECT_TRUE(script->written.isEmpty());
    }
    testProgram().settings.values().StepRatioX = 0.01;
    host.fields[JobField::FinishedWidth] = "2";
    PixelBuffer none;
    EXPECT_EQ(engrave(none), QStringLiteral("Картинка не загружена."));
}

// "Стоп" during the wait for a line's answer: the answer is awaited, no further line is sent,
// and the message names where the laser stands. A second "Стоп" abandons at once.
TEST_F(PictureEngravingTest, StopEndsAfterTheCurrentAnswer) {
    script->perLine = {"", kOk};  // each answer arrives on the second poll
    host.fields[JobField::FinishedWidth] = "3";
    PixelBuffer picture = grey(3, 2, {0, 255, 10, 20, 30, 40});
    host.onEvents = [this](FakeJobHost& h) {
        if (script->written.size() == 3) h.stop = StopLevel::Stop;
    };
    EXPECT_EQ(engrave(picture),
              QStringLiteral("Гравировка остановлена: лазер стоит над пикселем 3 строки 1 из 2; "
                             "выжжено 2 из 5 пикселей."));
    EXPECT_EQ(reason, JobEnded::Reason::Stopped);
    EXPECT_EQ(script->written, (QList<QByteArray>{"0,0,-100;", "0,0,255;", "200,0,245;"}));
    EXPECT_EQ(script->delivered.count("OK"), 3) << "the line in flight was answered";

    script->written.clear();
    host.stop = StopLevel::None;
    host.onEvents = [](FakeJobHost& h) { h.stop = StopLevel::Abandon; };
    picture = grey(3, 2, {0, 255, 10, 20, 30, 40});
    EXPECT_TRUE(engrave(picture).startsWith(QStringLiteral("Работа прервана.")));
    EXPECT_EQ(reason, JobEnded::Reason::Abandoned);
    EXPECT_EQ(script->written, QList<QByteArray>{"0,0,-100;"});
}

}  // namespace
