#include "link/ui/ManualPanel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "TestWindow.h"

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
        EXPECT_EQ(m_window->messages[0].title, QStringLiteral("Ошибка"));
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

// The status is taken at load: a job elsewhere that ends, or a port opened later, does not
// enable the controls.
TEST_F(ManualPanelTest, WithoutAPortTheOutputBoxAndTheMoveButtonStayDisabled) {
    for (const int handle : {0, kPortCannotOpen, kPortSettingsRefused}) {
        SCOPED_TRACE(handle);
        const int open = Settings().PortHandle;
        Settings().PortHandle = handle;
        TestWindow window(m_runner);
        Settings().PortHandle = open;
        m_runner.run(*m_window->host, [](JobHost&) {});
        EXPECT_EQ(child<QLabel>(&window, "Label4")->text(),
                  QStringLiteral("Ошибка открытия Com-порта"));
        EXPECT_FALSE(child<QCheckBox>(&window, "Check1")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(&window, "Command3")->isEnabled());
    }
}

}  // namespace
