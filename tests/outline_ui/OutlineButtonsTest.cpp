#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabBar>
#include <algorithm>

#include "figures/ui/FigureWorkspace.h"
#include "figures_ui/FigureWindowTest.h"
#include "link/ui/ElidedLabel.h"
#include "link/ui/StartFromDialog.h"
#include "link/ui/WindowJobHost.h"
#include "outline/OutlineJobs.h"
#include "outline/ui/Form5.h"
#include "tests/support/StopAndContinue.h"

// The outlining window's buttons, pressed as a user presses them, on a picture loaded the way
// the window loads its remembered picture. No port is open, so every job is a dry run.

namespace {

class OutlineButtonsTest : public FigureWindowTest<Form5> {
protected:
    void SetUp() override { openWindow("Etching2_width=40\n", "Etching2_image"); }
    bool red(int x, int y) const {
        const std::uint8_t* p = m_workspace->layers().CutterLayer.pixel(x, y);
        return p[0] == 0 && p[1] == 0 && p[2] == 255;
    }
};

TEST_F(OutlineButtonsTest, ButtonsCarryTheirCaptionsAndHints) {
    const std::vector<std::array<const char*, 3>> expected = {
        {"Command2", "Выделенная", "Гравирует выделенную фигуру"},
        {"Command6", "Все", "Гравирует границы всех фигур"},
        {"Command7", "Грав-ть всё", "Гравирует все фигуры с заполнением"},
        {"Command4", "Градиент", ""},
        {"Command5", "Отступить", ""}};
    for (const auto& [name, caption, hint] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(button(name)->text(), QString::fromUtf8(caption));
        EXPECT_EQ(button(name)->toolTip(), QString::fromUtf8(hint));
    }
    EXPECT_EQ(m_form->findChild<QCheckBox*>("Check1")->text(), "Гравировать");
    EXPECT_EQ(m_form->findChild<QTabBar*>()->tabText(3), "Лазер");
}

TEST_F(OutlineButtonsTest, DryFillDrawsRingsUntilNothingIsLeft) {
    button("Command1")->click();  // "Разобрать"
    ASSERT_TRUE(m_workspace->analysis().hasTree());
    button("Command7")->click();  // "Грав-ть всё"
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("\n").toStdString();
    EXPECT_FALSE(m_workspace->analysis().hasTree());
    // The square spans columns 6 to 31. The first ring runs along column 8, two pixels inside
    // (gradient, one offset), its marks covering 7 to 9; the next along column 12.
    EXPECT_TRUE(red(7, 12));
    EXPECT_FALSE(red(10, 12)) << "rings are four pixels apart";
    EXPECT_TRUE(red(11, 12));
    EXPECT_FALSE(red(2, 2));
    EXPECT_TRUE(button("Command7")->isEnabled());
}

}  // namespace

namespace {

// The window's tool is the one its jobs move: the status line's pixel follows an outlining job
// while it runs and shows where it ended.
TEST_F(OutlineButtonsTest, TheToolLineFollowsAnOutliningJob) {
    button("Command1")->click();  // "Разобрать"
    auto* toolLine = m_form->findChild<ElidedLabel*>("ToolPosition");
    ASSERT_NE(toolLine, nullptr);
    EXPECT_TRUE(toolLine->fullText().contains("пиксель 1, 1"))
        << toolLine->fullText().toStdString();
    QStringList shownDuringTheJob;
    auto* host = m_form->findChild<WindowJobHost*>();
    QObject::connect(host, &WindowJobHost::progressReported, m_form.get(),
                     [&] { shownDuringTheJob << toolLine->fullText(); });
    button("Command6")->click();  // "Все"
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("\n").toStdString();
    const ToolPosition& tool = m_workspace->tool();
    ASSERT_FALSE(tool.ToolX == 1 && tool.ToolY == 1) << "the job moved the tool";
    EXPECT_TRUE(toolLine->fullText().endsWith(
        QStringLiteral("пиксель %1, %2").arg(tool.ToolX).arg(tool.ToolY)))
        << toolLine->fullText().toStdString();
    ASSERT_FALSE(shownDuringTheJob.isEmpty());
    EXPECT_FALSE(shownDuringTheJob.filter(QRegularExpression("пиксель ([2-9]|\\d\\d)")).isEmpty())
        << shownDuringTheJob.join("\n").toStdString();
    // One shape all along: two decimals on every axis, the pixel on the second line.
    const QRegularExpression shape(
        "^Инструмент: X -?\\d+,\\d\\d  Y -?\\d+,\\d\\d\nZ -?\\d+,\\d\\d мм, пиксель \\d+, \\d+$");
    for (const QString& shown : shownDuringTheJob)
        ASSERT_TRUE(shape.match(shown).hasMatch()) << shown.toStdString();
}

// "Грав-ть всё" stopped mid-way shows "Продолжить"; pressing it finishes the job: its lines
// before the stop and after the join are those of one uninterrupted run, and the journal
// named the job and the picture as the batch command line does.
TEST_F(OutlineButtonsTest, AStoppedFillIsFinishedByContinueWithTheLinesOfOneRun) {
    button("Command1")->click();  // "Разобрать"
    PictureLayers layers = m_workspace->layers();
    FigureAnalysis analysis = m_workspace->analysis();
    ToolPosition tool;
    const QList<QByteArray> expected = LinesSentBy(
        MoveRules::Outlining, {{JobField::FinishedWidth, "40"}},
        [&](JobHost& host, MoveProtocol& protocol) {
            OutlineJobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, tool},
                        host, protocol)
                .EngraveAllFilled();
        });
    ASSERT_GT(expected.size(), 60);
    const StoppedAndContinued run = stopAndContinue(*m_form, *button("Command7"), 30);
    EXPECT_TRUE(run.shownAfterStop);
    EXPECT_EQ(run.job, "outline filled");
    EXPECT_EQ(run.picture, m_workspace->picturePath());
    EXPECT_GT(run.done, 0);
    EXPECT_TRUE(run.hiddenAfterEnd);
    EXPECT_TRUE(run.journalRemoved);
    EXPECT_GT(run.written.size(), expected.size()) << "the stop and the join add lines";
    EXPECT_EQ(withoutTheJoin(run, expected), expected);
    EXPECT_EQ(m_messages.size(), 1) << m_messages.join("\n").toStdString();
}

// "Начать с…" offers both jobs over all figures; "Грав-ть всё" on two squares from the largest
// figure number sends the lines of that job started there, the square before it not outlined.
TEST_F(OutlineButtonsTest, StartFromAFigureRunsTheChosenJobFromThere) {
    QImage twoSquares(40, 30, QImage::Format_RGB32);
    twoSquares.fill(Qt::white);
    for (int y = 5; y <= 20; ++y)
        for (int x = 4; x <= 34; ++x)
            if (x <= 15 || x >= 22) twoSquares.setPixel(x, y, qRgb(0, 0, 0));
    const QString path = m_dir.filePath("two.bmp");
    ASSERT_TRUE(twoSquares.save(path));
    m_workspace->pathBox()->setText(path);
    m_workspace->LoadPictureLayers(path);
    button("Command1")->click();  // "Разобрать"
    const FigureAnalysis parsed = m_workspace->analysis();
    const std::int32_t last =
        std::max_element(parsed.tree.begin(), parsed.tree.end(), [](const auto& a, const auto& b) {
            return a.figure < b.figure;
        })->figure;
    const auto fillFrom = [&](std::optional<ResumeStart> start) {
        PictureLayers layers = m_workspace->layers();
        FigureAnalysis analysis = parsed;
        ToolPosition tool;
        return LinesSentBy(MoveRules::Outlining, {{JobField::FinishedWidth, "40"}},
                           [&](JobHost& host, MoveProtocol& protocol) {
                               protocol.trackJob(nullptr, start);
                               OutlineJobs({layers.SourceLayer, layers.WorkLayer,
                                            layers.CutterLayer, analysis, tool},
                                           host, protocol)
                                   .EngraveAllFilled();
                           });
    };
    const QList<QByteArray> fromLast = fillFrom(startFromSection(last));
    ASSERT_LT(fromLast.size(), fillFrom(std::nullopt).size());

    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    testProgram().link.adopt(
        testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
    m_form->findChild<QCheckBox*>("Check1")->setChecked(true);
    button("StartFromButton")->click();
    auto* dialog = m_form->findChild<StartFromDialog*>();
    ASSERT_NE(dialog, nullptr);
    auto* job = dialog->findChild<QComboBox*>("StartFromJob");
    EXPECT_EQ(job->count(), 2);
    job->setCurrentIndex(1);
    auto* figure = dialog->findChild<QSpinBox*>("StartFromNumber");
    EXPECT_EQ(figure->maximum(), last);
    figure->setValue(last);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(script->written, fromLast);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("\n").toStdString();
    testProgram().link.close();
}

}  // namespace
