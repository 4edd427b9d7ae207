#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <thread>

#include <unistd.h>

#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/PictureViews.h"
#include "figures_ui/FigureWindowTest.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/JobResume.h"
#include "link/ui/JobBar.h"
#include "link/ui/WindowJobHost.h"
#include "link/virtual/GrblSimServer.h"
#include "mill/MillJobs.h"
#include "mill/ui/Form1.h"
#include "tests/support/PtyPair.h"
#include "tests/support/ScriptedJob.h"
#include "tests/support/StopAndContinue.h"
#include "tests/support/TestProgram.h"

// The milling window's buttons, pressed as a user presses them, on a picture loaded the way the
// window loads its remembered picture. No port is open unless a test opens one, so the jobs are
// dry runs.

namespace {

class MillButtonsTest : public FigureWindowTest<Form1> {
protected:
    void SetUp() override {
        openWindow("cncrez_width=40\ncncrez_depth=10\nmill_diameter=1\n", "Image");
    }
    // The lines "Все" sends on the window's parsed picture with the fields of SetUp, the tool
    // starting where a new window starts it.
    QList<QByteArray> millAllLines() const {
        PictureLayers layers = m_workspace->layers();
        FigureAnalysis analysis = m_workspace->analysis();
        CutterSize cutter;
        ToolPosition tool;
        return LinesSentBy(
            MoveRules::Milling,
            {{JobField::FinishedWidth, "40"}, {JobField::Depth, "10"}, {JobField::Diameter, "1"}},
            [&](JobHost& host, MoveProtocol& protocol) {
                MillJobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis,
                          cutter, tool},
                         host, protocol)
                    .MillAll();
            });
    }
    int redPixels() const {
        const PixelBuffer& cutter = m_workspace->layers().CutterLayer;
        int red = 0;
        for (int y = 1; y <= cutter.height; ++y)
            for (int x = 1; x <= cutter.width; ++x) {
                const std::uint8_t* p = cutter.pixel(x, y);
                red += p[0] == 0 && p[1] == 0 && p[2] == 255;
            }
        return red;
    }
};

TEST_F(MillButtonsTest, AllAfterParseDrawsThePathAndGivesTheButtonsBack) {
    EXPECT_FALSE(m_form->findChild<QCheckBox*>("Check1")->isEnabled()) << "no port: dry run only";
    button("Command1")->click();  // "Разобрать"
    ASSERT_TRUE(m_workspace->analysis().hasTree());
    button("Command6")->click();  // "Все"
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("\n").toStdString();
    // The square's border: 2 × 26 + 2 × 16 − 4 pixels, each under the one-pixel cutter.
    EXPECT_EQ(redPixels(), 80);
    EXPECT_TRUE(button("Command6")->isEnabled());
    EXPECT_TRUE(button("Command1")->isEnabled());
    const QString ended = m_form->findChild<JobBar*>()->progressText();
    EXPECT_TRUE(ended.contains("сухой прогон, на станок ничего не отправлено"))
        << ended.toStdString();

    button("Command6")->click();
    EXPECT_EQ(redPixels(), 80) << "a second run without a parse cuts nothing";
    EXPECT_EQ(m_messages, QStringList{"Внимание: Нечего фрезеровать: все фигуры уже обработаны — "
                                      "нажмите «Разобрать»."});

    // "Разобрать" clears the old path; the next run draws only its own.
    button("Command1")->click();
    EXPECT_EQ(redPixels(), 0);
    button("Command6")->click();
    EXPECT_EQ(redPixels(), 80);
    EXPECT_EQ(m_messages.size(), 1);
}

// A field that is not a number is refused by name, without its colon, stays as typed, and has
// the keyboard focus afterwards so that the user can correct it; the same for "Градиент".
TEST_F(MillButtonsTest, RefusedFieldKeepsItsTextAndTakesTheFocus) {
    button("Command1")->click();
    auto* width = m_form->findChild<QLineEdit*>("Text6");
    auto* diameter = m_form->findChild<QLineEdit*>("Text3");
    width->setText("abc");
    button("Command6")->click();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], "Ошибка: Введите число в поле «Ширина».");
    EXPECT_EQ(width->text(), "abc");
    EXPECT_EQ(m_form->focusWidget(), width);
    EXPECT_EQ(width->selectedText(), "abc");
    EXPECT_EQ(redPixels(), 0);

    width->setText("40");
    diameter->setText("1000");
    button("Command4")->click();
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_TRUE(m_messages[1].startsWith("Ошибка: Фреза слишком велика для этой картинки"))
        << m_messages[1].toStdString();
    EXPECT_EQ(m_form->focusWidget(), diameter);
}

TEST_F(MillButtonsTest, JobsWithoutATreeOrASelectionGiveTheGuardMessages) {
    button("Command6")->click();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith("Ошибка: Изображение не загружено или не разобрано."));
    button("Command1")->click();
    button("Command2")->click();  // "Выделенная" with no node selected
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_EQ(m_messages[1], "Ошибка: Не выбрана фигура.\r\nВыберите фигуру в дереве.");
    EXPECT_EQ(redPixels(), 0);
}

TEST_F(MillButtonsTest, GradientRefusesADiameterThatIsNotANumberAndChangesNothing) {
    const PixelBuffer before = m_workspace->layers().WorkLayer;
    m_form->findChild<QLineEdit*>("Text3")->setText("abc");
    button("Command4")->click();  // "Градиент"
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], "Ошибка: Введите число в поле «Диаметр, мм».");
    EXPECT_EQ(m_workspace->layers().WorkLayer, before);

    m_form->findChild<QLineEdit*>("Text3")->setText("4");
    button("Command4")->click();
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_NE(m_workspace->layers().WorkLayer, before) << "the square's edges turn white";
}

// Nothing moves during a job: the picture area and the control column keep their rectangles
// at the start, while the job reports long texts and after "Стоп", in a window of the size the
// main window gives it.
TEST_F(MillButtonsTest, TheLayoutStaysPutDuringAJobAndAfterStop) {
    m_form->resize(1270, 650);
    m_form->show();
    QApplication::processEvents();
    button("Command1")->click();  // "Разобрать"
    QApplication::processEvents();
    // The picture area and "Стоп", in the window's coordinates.
    const auto geometry = [this] {
        QApplication::processEvents();
        const QWidget* views = m_workspace->pictureViews();
        const QWidget* stop = button("StopButton");
        return QList<QRect>{views->geometry(),
                            QRect(stop->mapTo(m_form.get(), QPoint()), stop->size())};
    };
    const QList<QRect> atStart = geometry();
    ASSERT_GT(atStart[0].width(), 600);
    QList<QRect> midJob;
    QString longTextTip;
    auto* host = m_form->findChild<WindowJobHost*>();
    QTimer::singleShot(0, m_form.get(), [&] {
        host->reportProgress({1, 3, QString(300, u'ш')});
        midJob = geometry();
        longTextTip = m_form->findChild<QLabel*>("JobProgressText")->toolTip();
        button("StopButton")->click();
        midJob += geometry();  // with the stop hint shown
    });
    button("Command6")->click();  // "Все", stopped at its first step
    ASSERT_EQ(midJob.size(), 4) << "the job ended before it let events run";
    EXPECT_EQ(midJob.mid(0, 2), atStart);
    EXPECT_EQ(midJob.mid(2, 2), atStart);
    EXPECT_EQ(geometry(), atStart);
    EXPECT_EQ(longTextTip, QString(300, u'ш'));  // cut in the strip, whole in its tool tip
}

// A pseudo-terminal closed under a running job (a pulled cable): the job ends at once with the
// lost-link message naming the port, and the status line says that the port is closed; the
// output box can no longer be ticked.
TEST_F(MillButtonsTest, PortClosedUnderARunningJobEndsItAndTheStatusLineSaysSo) {
    PtyPair pty;
    ASSERT_TRUE(pty.isOpen());
    ASSERT_GT(testProgram().link.open(pty.devicePath()), 0);
    auto* output = m_form->findChild<QCheckBox*>("Check1");
    auto* status = m_form->findChild<QLabel*>("Label4");
    ASSERT_TRUE(output->isEnabled());
    EXPECT_EQ(status->text(), QStringLiteral("Com-порт открыт"));
    output->setChecked(true);
    std::thread controller([&] {
        // Answers ten lines, then the line goes.
        QByteArray pending;
        for (int answered = 0; answered < 10;) {
            const QByteArray got = pty.receive(1, 5000);
            if (got.isEmpty()) break;
            pending += got;
            for (qsizetype end = pending.indexOf(';'); end >= 0 && answered < 10;
                 end = pending.indexOf(';')) {
                pending.remove(0, end + 1);
                pty.send("OK\r\n");
                ++answered;
            }
        }
        pty.hangUp();
    });
    button("Command1")->click();  // "Разобрать"
    button("Command6")->click();  // "Все": runs until the line goes
    controller.join();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(
        QStringLiteral("Ошибка: Связь со станком потеряна: порт ") + pty.devicePath()))
        << m_messages[0].toStdString();
    EXPECT_FALSE(m_messages[0].contains(QStringLiteral("поднята")));
    EXPECT_EQ(status->text(), QStringLiteral("Com-порт закрыт: связь потеряна"));
    EXPECT_FALSE(testProgram().link.isOpen());
    EXPECT_FALSE(output->isEnabled());
    EXPECT_TRUE(button("Command6")->isEnabled()) << "the window is usable again";
}

// A job stopped mid-way leaves its journal and shows "Продолжить"; pressing it lowers the
// lifted cutter back where it stopped and finishes the job: the lines before the stop and after
// the join are those of one uninterrupted run.
TEST_F(MillButtonsTest, AStoppedJobIsFinishedByContinueWithTheLinesOfOneRun) {
    button("Command1")->click();
    const QList<QByteArray> expected = millAllLines();
    ASSERT_GT(expected.size(), 60);

    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    testProgram().link.adopt(
        testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
    m_form->findChild<QCheckBox*>("Check1")->setChecked(true);
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (script->written.size() == 30) button("StopButton")->click();
    });
    stopper.start(0);
    button("Command6")->click();
    stopper.stop();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith("Стоп")) << m_messages[0].toStdString();
    EXPECT_FALSE(button("ContinueButton")->isHidden());
    const QString journalPath = journalPathFor(testProgram().config.ConfigPath());
    const std::optional<JobJournalRecord> journal = readJobJournal(journalPath);
    ASSERT_TRUE(journal);
    const int done = int(journal->jobLines);
    const int atStop = int(script->written.size());
    EXPECT_GT(atStop, done) << "the stop lifted the cutter";

    button("ContinueButton")->click();
    EXPECT_EQ(m_messages.size(), 1) << m_messages.join("\n").toStdString();
    EXPECT_TRUE(button("ContinueButton")->isHidden());
    EXPECT_FALSE(QFile::exists(journalPath)) << "a job that ended normally removes its journal";
    const QList<QByteArray>& written = script->written;
    const int join = int(written.size()) - atStop - (int(expected.size()) - done);
    ASSERT_GT(join, 0);
    EXPECT_EQ(written.mid(0, done) + written.mid(atStop + join), expected);
    EXPECT_EQ(written.mid(done, atStop - done), QList<QByteArray>{"0,0,2040;"})
        << "the stop lifted the cutter to the surface";
    EXPECT_EQ(written.mid(atStop, join), QList<QByteArray>{"0,0,-2040;"})
        << "the join lowers it again where it stopped";
    testProgram().link.close();
}

// After a restart the journal a stopped job left opens a new window on its picture and fields;
// "Продолжить" first refuses while a field differs from the journal, sending nothing, then
// finishes the job: the lines before the stop and after the join are those of one run.
TEST_F(MillButtonsTest, AJournalLeftByAnEarlierRunIsContinuedInANewWindow) {
    button("Command1")->click();
    const QList<QByteArray> expected = millAllLines();
    const StoppedAndContinued stopped = stopWithoutContinuing(*m_form, *button("Command6"), 30);
    testProgram().link.close();
    ASSERT_EQ(stopped.job, "mill all");
    const QString journalPath = journalPathFor(testProgram().config.ConfigPath());
    const std::optional<JobJournalRecord> journal = readJobJournal(journalPath);
    ASSERT_TRUE(journal);

    // The program starts again: a new window, its fields not yet the journal's.
    m_form = std::make_unique<Form1>(testProgram().context());
    m_messages.clear();
    m_form->findChild<WindowJobHost*>()->setMessageFunction(
        [this](QWidget*, const MessageTitle& title, const QString& text) {
            m_messages << title.toString() + ": " + text;
        });
    m_form->findChild<QLineEdit*>("Text6")->setText("55");
    m_form->offerJournal(*journal);
    EXPECT_EQ(m_form->findChild<QLineEdit*>("Text6")->text(), "40");
    m_workspace = m_form->findChild<FigureWorkspace*>();
    ASSERT_TRUE(m_workspace->analysis().hasTree()) << "the picture is loaded and parsed";
    ASSERT_FALSE(button("ContinueButton")->isHidden());

    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    testProgram().link.adopt(
        testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
    m_form->findChild<QCheckBox*>("Check1")->setChecked(true);
    m_form->findChild<QLineEdit*>("Text3")->setText("2");
    button("ContinueButton")->click();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("не подходит") &&
                m_messages[0].contains("диаметр фрезы: в журнале «1», сейчас «2»"))
        << m_messages[0].toStdString();
    EXPECT_TRUE(script->written.isEmpty());
    EXPECT_FALSE(button("ContinueButton")->isHidden()) << "the journal can still be continued";
    EXPECT_TRUE(QFile::exists(journalPath));

    m_messages.clear();
    m_form->findChild<QLineEdit*>("Text3")->setText("1");
    button("ContinueButton")->click();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("\n").toStdString();
    EXPECT_FALSE(QFile::exists(journalPath));
    const QList<QByteArray>& resumed = script->written;
    const int join = int(resumed.size()) - (int(expected.size()) - stopped.done);
    ASSERT_GT(join, 0);
    EXPECT_EQ(resumed.mid(0, join), QList<QByteArray>{"0,0,-2040;"})
        << "the cutter stopped at the surface goes down again where it stopped";
    EXPECT_EQ(stopped.written.mid(0, stopped.done) + resumed.mid(join), expected);
    testProgram().link.close();
}

// A virtual GRBL served on a pseudo-terminal by a thread of the test, as `cnc serve-sim --grbl`
// serves it, until finish() (or destruction) stops it.
class ServedGrbl {
public:
    ServedGrbl() : m_server({0.005, 0.005, 0.005}, ProgramSettings().Gcode.HeightRange, 1) {
        QString error;
        m_ready = ::pipe(m_stop) == 0 && m_server.open(&error);
        if (!m_ready) return;
        m_thread = std::thread([this] {
            std::FILE* out = std::fopen("/dev/null", "w");
            m_server.serve(m_stop[0], out);
            std::fclose(out);
        });
    }
    ~ServedGrbl() { finish(); }
    bool ready() const { return m_ready; }
    QString port() const { return "grbl:" + m_server.devicePath(); }
    // Stops serving; the machine as it was left.
    const VirtualGrbl& finish() {
        if (m_thread.joinable()) {
            (void)!::write(m_stop[1], "x", 1);
            m_thread.join();
            ::close(m_stop[0]);
            ::close(m_stop[1]);
        }
        return m_server.grbl();
    }

private:
    GrblSimServer m_server;
    int m_stop[2] = {-1, -1};
    bool m_ready = false;
    std::thread m_thread;
};

// On a grbl: port the window's "Продолжить" goes on from where GRBL reported the machine after
// the stop: the job ends where one uninterrupted run ends (within half a motor step, the
// rounding of the reported point) and cuts no deeper than that run. After a reset during a
// motion it is not offered.
TEST_F(MillButtonsTest, OnGrblAStoppedJobIsContinuedFromTheReportedPoint) {
    ProgramSettings& settings = testProgram().settings.values();
    settings.Gcode.MillFeed = settings.Gcode.PlungeFeed = 6000;  // the virtual GRBL is real time
    // Each run in a window of its own: the tool starts where a new window starts it.
    const auto millAll = [&](ServedGrbl& grbl, int stopsHalfway) {
        m_form = std::make_unique<Form1>(testProgram().context());
        m_form->findChild<WindowJobHost*>()->setMessageFunction(
            [this](QWidget*, const MessageTitle& title, const QString& text) {
                m_messages << title.toString() + ": " + text;
            });
        m_form->findChild<QLineEdit*>("Text6")->setText("8");
        m_form->findChild<QLineEdit*>("Text1")->setText("2");
        button("Command1")->click();
        settings.PortName = grbl.port();
        EXPECT_GT(testProgram().link.open(settings.PortName), 0);
        m_form->findChild<QCheckBox*>("Check1")->setChecked(true);
        const QMetaObject::Connection stopper =
            QObject::connect(m_form->findChild<WindowJobHost*>(), &WindowJobHost::progressReported,
                             [&](const JobProgress& progress) {
                                 if (progress.done * 2 < progress.total) return;
                                 // Counted down before the click: a stop may report progress again
                                 // meanwhile.
                                 while (stopsHalfway > 0) {
                                     --stopsHalfway;
                                     button("StopButton")->click();
                                 }
                             });
        button("Command6")->click();
        QObject::disconnect(stopper);
    };

    ServedGrbl whole;
    ASSERT_TRUE(whole.ready());
    millAll(whole, 0);
    testProgram().link.close();
    ASSERT_TRUE(m_messages.isEmpty()) << m_messages.join("\n").toStdString();
    const VirtualGrbl& wholeEnd = whole.finish();

    ServedGrbl stopped;
    ASSERT_TRUE(stopped.ready());
    millAll(stopped, 1);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith("Стоп")) << m_messages[0].toStdString();
    ASSERT_FALSE(button("ContinueButton")->isHidden()) << m_messages[0].toStdString();
    const std::optional<JobJournalRecord> journal =
        readJobJournal(journalPathFor(testProgram().config.ConfigPath()));
    ASSERT_TRUE(journal);
    EXPECT_TRUE(journal->reportedPoint);
    button("ContinueButton")->click();
    EXPECT_EQ(m_messages.size(), 1) << m_messages.join("\n").toStdString();
    testProgram().link.close();
    const VirtualGrbl& end = stopped.finish();
    EXPECT_NEAR(end.position().x, wholeEnd.position().x, 0.0025 + 1e-4);
    EXPECT_NEAR(end.position().y, wholeEnd.position().y, 0.0025 + 1e-4);
    EXPECT_NEAR(end.position().z, wholeEnd.position().z, 0.0025 + 1e-4);
    EXPECT_GE(end.lowestZ(), wholeEnd.lowestZ() - 1e-3) << "no cut deeper than one run";

    // "Стоп" twice abandons the job: GRBL is reset at once, during a motion, and no longer knows
    // where it stands, so the job cannot be continued from its report.
    m_messages.clear();
    ServedGrbl abandoned;
    ASSERT_TRUE(abandoned.ready());
    millAll(abandoned, 2);
    testProgram().link.close();
    ASSERT_FALSE(m_messages.isEmpty());
    EXPECT_TRUE(m_messages[0].contains("Работа прервана")) << m_messages[0].toStdString();
    EXPECT_TRUE(button("ContinueButton")->isHidden());
    const std::optional<JobJournalRecord> lost =
        readJobJournal(journalPathFor(testProgram().config.ConfigPath()));
    ASSERT_TRUE(lost) << "kept for the record";
    EXPECT_FALSE(portResumes(*lost));
}

}  // namespace
