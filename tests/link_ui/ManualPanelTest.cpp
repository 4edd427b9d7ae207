#include "link/ui/ManualPanel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "TestWindow.h"
#include "link/ui/ElidedLabel.h"
#include "tests/support/TestProgram.h"

namespace {

// The panel in a window over a scripted port, with the ratios of a fresh installation.
class ManualPanelTest : public ScriptedPortTest<> {
protected:
    void SetUp() override {
        ScriptedPortTest::SetUp();
        m_window = std::make_unique<TestWindow>(m_runner);
    }
    void TearDown() override {
        m_window.reset();
        ScriptedPortTest::TearDown();
    }
    void typeAndMove(const char* x, const char* y, const char* z) const {
        child<QLineEdit>(m_window.get(), "tx")->setText(QString::fromUtf8(x));
        child<QLineEdit>(m_window.get(), "ty")->setText(QString::fromUtf8(y));
        child<QLineEdit>(m_window.get(), "tz")->setText(QString::fromUtf8(z));
        QTest::mouseClick(child<QPushButton>(m_window.get(), "Command3"), Qt::LeftButton);
    }

    std::unique_ptr<TestWindow> m_window;
};

TEST_F(ManualPanelTest, ReportsTheFirstBadFieldInAxisOrderAndSendsNothing) {
    struct Case {
        const char* x;
        const char* y;
        const char* z;
        const char* axis;
    };
    for (const Case c : {Case{"-", "", "", "1-ой"}, Case{"1", "x", "--3", "2-ой"},
                         Case{"1,5", "-2", "1,2,3", "3-ей"}}) {
        SCOPED_TRACE(c.axis);
        m_window->messages.clear();
        typeAndMove(c.x, c.y, c.z);
        ASSERT_EQ(m_window->messages.size(), 1);
        EXPECT_EQ(m_window->messages[0].title, kErrorTitle);
        EXPECT_EQ(m_window->messages[0].text,
                  QStringLiteral("Введите число в поле для перемещения по %1 оси!").arg(c.axis));
    }
    EXPECT_TRUE(m_script->written.isEmpty());
}

TEST_F(ManualPanelTest, AllFieldsZeroSendsTheZeroMoveAndWaitsForItsAnswer) {
    for (const bool ticked : {true, false}) {
        SCOPED_TRACE(ticked ? "output ticked" : "output clear");
        m_script->written.clear();
        child<QCheckBox>(m_window.get(), "Check1")->setChecked(ticked);
        // The answer arrives only on the third poll: the move waits for it either way.
        m_script->perLine = {QByteArray(), QByteArray(), "OK\r\n"};
        typeAndMove("0", "0", "0");
        EXPECT_EQ(m_script->written, QList<QByteArray>{"0,0,0;"});
        EXPECT_TRUE(m_script->arrivals.isEmpty());
        EXPECT_TRUE(m_window->messages.isEmpty());
    }
}

// Without a port the output box and the move button are disabled, also after a job elsewhere
// has ended; they follow the link when a port opens later. While any job runs both are
// disabled, and the output box keeps its tick.
TEST_F(ManualPanelTest, OutputBoxAndMoveButtonFollowThePortAndRestAfterAJob) {
    for (const int handle : {0, kPortCannotOpen, kPortSettingsRefused}) {
        SCOPED_TRACE(handle);
        testProgram().link.adopt(handle);
        TestWindow window(m_runner);
        m_runner.run(*m_window->host, [](JobHost&) {});
        EXPECT_EQ(child<QLabel>(&window, "Label4")->text(),
                  QStringLiteral("Ошибка открытия Com-порта"));
        EXPECT_FALSE(child<QCheckBox>(&window, "Check1")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(&window, "Command3")->isEnabled());

        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<ScriptedTransport>(m_script)));
        EXPECT_EQ(child<QLabel>(&window, "Label4")->text(), QStringLiteral("Com-порт открыт"));
        EXPECT_TRUE(child<QCheckBox>(&window, "Check1")->isEnabled());
        EXPECT_TRUE(child<QPushButton>(&window, "Command3")->isEnabled());
    }
    auto* output = child<QCheckBox>(m_window.get(), "Check1");
    output->setChecked(true);
    bool enabledDuring = true;
    m_runner.run(*m_window->host, [&](JobHost&) { enabledDuring = output->isEnabled(); });
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(output->isEnabled());
    EXPECT_TRUE(output->isChecked());
}

// The status line shows where the tool stands in millimetres after every answered line, two
// decimals on every axis and its two lines broken at the same place whatever the numbers.
TEST_F(ManualPanelTest, StatusLineShowsTheToolPositionAfterEachAnsweredLine) {
    auto* position = child<ElidedLabel>(m_window.get(), "ToolPosition");
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->fullText(), QStringLiteral("Инструмент: X 0,00  Y 0,00\nZ 0,00 мм"));
    m_script->perLine = {"OK\r\n"};
    typeAndMove("1,5", "-2", "0");
    EXPECT_EQ(position->fullText(), QStringLiteral("Инструмент: X 1,50  Y -2,00\nZ 0,00 мм"));
    // A line not answered yet has not moved the machine; answers count in the order the lines
    // were sent, one per wait.
    m_script->perLine.clear();
    testProgram().link.sendLine("1,1,1;", {1, 1, 1});
    EXPECT_EQ(position->fullText(), QStringLiteral("Инструмент: X 1,50  Y -2,00\nZ 0,00 мм"));
    m_script->arrivals = {"OK\r\n", "OK\r\n"};
    typeAndMove("-1,5", "0", "0,25");
    EXPECT_EQ(testProgram().link.position(), (MachinePosition{301, -399, 1}));
    EXPECT_EQ(testProgram().link.linesWaiting(), 1);
    child<QCheckBox>(m_window.get(), "Check1")->setChecked(true);
    m_window->protocol.WaitForOk();
    EXPECT_EQ(testProgram().link.position(), (MachinePosition{1, -399, 51}));
    EXPECT_EQ(position->fullText(), QStringLiteral("Инструмент: X 0,01  Y -2,00\nZ 0,26 мм"));
}

}  // namespace
