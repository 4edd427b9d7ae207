#include "link/ui/Form4.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "TestWindow.h"
#include "app/Config.h"
#include "engrave/ui/Form3.h"
#include "link/SerialRegistry.h"
#include "tests/app/ConfigTestSupport.h"
#include "tests/link/PtyPair.h"

namespace {

// The settings window in the main window's area, as the menu opens it, over a temporary
// configuration file, a scripted port and the settings X -0.005, port "sim"; the messages are
// recorded.
class Form4Test : public ScriptedPortTest<> {
protected:
    void SetUp() override {
        ScriptedPortTest::SetUp();
        Settings().StepRatioX = -0.005;
        Settings().PortName = QStringLiteral("sim");
        m_form = new Form4(m_runner, programMachineLink());
        m_form->setMessageFunction(
            [this](QWidget*, const MessageTitle& title, const QString& text) {
                m_messages.append({title, text});
            });
        m_frame = m_area.addSubWindow(m_form);
        m_frame->setAttribute(Qt::WA_DeleteOnClose);
        m_area.show();
        m_frame->show();
    }
    void TearDown() override {
        if (m_frame) m_frame->close();
        ScriptedPortTest::TearDown();
    }
    QLineEdit* ratioField(int axis) const {
        const char* const names[] = {"Text1", "Text2", "Text3"};
        return child<QLineEdit>(m_form, names[axis]);
    }
    void typePort(const QString& name) const {
        child<QComboBox>(m_form, "Text4")->setEditText(name);
    }
    void click(const char* button) const {
        QTest::mouseClick(child<QPushButton>(m_form, button), Qt::LeftButton);
    }
    bool windowOpen() const { return m_frame && m_frame->isVisible(); }
    // The settings of the fixture still in effect, and nothing written to the file.
    void expectNothingChanged() const {
        EXPECT_DOUBLE_EQ(Settings().StepRatioX, -0.005);
        EXPECT_DOUBLE_EQ(Settings().StepRatioY, 0.005);
        EXPECT_DOUBLE_EQ(Settings().StepRatioZ, 0.005);
        EXPECT_EQ(Settings().PortName, QStringLiteral("sim"));
        EXPECT_TRUE(m_config.bytes().isEmpty());
    }

    ScopedConfig m_config;
    QMdiArea m_area;
    QPointer<Form4> m_form;
    QPointer<QMdiSubWindow> m_frame;
    QList<ShownMessage> m_messages;
};

// The values in effect, not those of the file; the port field suggests the virtual controller.
TEST_F(Form4Test, ShowsTheValuesInEffectWithTheDecimalComma) {
    EXPECT_EQ(ratioField(0)->text(), QStringLiteral("-0,005"));
    EXPECT_EQ(ratioField(1)->text(), QStringLiteral("0,005"));
    EXPECT_EQ(ratioField(2)->text(), QStringLiteral("0,005"));
    auto* port = child<QComboBox>(m_form, "Text4");
    EXPECT_EQ(port->currentText(), QStringLiteral("sim"));
    EXPECT_TRUE(port->isEditable());
    EXPECT_GE(port->findText(QStringLiteral("sim")), 0);
}

TEST_F(Form4Test, OkPutsTheRatiosIntoEffectAtOnceAndStoresTheTextAsTyped) {
    m_script->perLine = {"OK\r\n"};
    ratioField(0)->setText(QStringLiteral("0.01"));
    ratioField(2)->setText(QStringLiteral("-0,0025"));
    typePort(QStringLiteral("/dev/ttyCNC-own"));  // any text, suggested or not
    click("Command1");

    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_FALSE(windowOpen());
    EXPECT_DOUBLE_EQ(Settings().StepRatioX, 0.01);
    EXPECT_DOUBLE_EQ(Settings().StepRatioY, 0.005);
    EXPECT_DOUBLE_EQ(Settings().StepRatioZ, -0.0025);
    EXPECT_EQ(Settings().PortName, QStringLiteral("/dev/ttyCNC-own"));
    EXPECT_EQ(m_config.bytes(),
              "[CNC]\nSM_X_ratio=0.01\nSM_Y_ratio=0,005\nSM_Z_ratio=-0,0025\n"
              "port=/dev/ttyCNC-own\nport_timeout=120\ngcode_feed_mill=600\ngcode_feed_plunge=200\n"
              "gcode_feed_laser=1500\ngcode_feed_probe=100\ngcode_laser_power=1000\n"
              "gcode_laser_scale=1000\ngcode_probe_limit=10\ngcode_height_range=5\n");

    // The next manual move already uses the new ratios.
    TestWindow window(m_runner);
    window.protocol.ArduinoMoveMM(1, 0, 0.01);
    EXPECT_EQ(m_script->written, QList<QByteArray>{"100,0,-4;"});
}

TEST_F(Form4Test, OkWithARatioThatIsNotANumberOrZeroIsRefusedNamingTheField) {
    const std::pair<int, const char*> cases[] = {{0, "abc"}, {1, "0,000"}, {2, ""}, {0, "-0.0"}};
    for (const auto& [axis, text] : cases) {
        SCOPED_TRACE(text);
        m_messages.clear();
        for (int i = 0; i < 3; ++i) ratioField(i)->setText(QStringLiteral("0,005"));
        ratioField(axis)->setText(QString::fromUtf8(text));
        typePort(QStringLiteral("ttyUSB1"));
        click("Command1");

        ASSERT_EQ(m_messages.size(), 1);
        EXPECT_EQ(m_messages[0].title, kErrorTitle);
        const QString field = QStringLiteral("«%1:»").arg(QChar(u"XYZ"[axis]));
        EXPECT_TRUE(m_messages[0].text.contains(field)) << qPrintable(m_messages[0].text);
        EXPECT_TRUE(windowOpen());
        expectNothingChanged();
    }
}

TEST_F(Form4Test, GcodeSettingsTakeEffectAndOnlyNumbersAboveZeroAreAccepted) {
    auto* feed = child<QLineEdit>(m_form, "gcode_feed_mill");
    auto* range = child<QLineEdit>(m_form, "gcode_height_range");
    EXPECT_EQ(range->text(), QStringLiteral("5"));
    for (const char* text : {"0", "-3", "x", ""}) {
        SCOPED_TRACE(text);
        m_messages.clear();
        range->setText(QString::fromUtf8(text));
        click("Command1");
        ASSERT_EQ(m_messages.size(), 1);
        EXPECT_TRUE(m_messages[0].text.contains(QStringLiteral("Диапазон высот")));
        EXPECT_TRUE(windowOpen());
        expectNothingChanged();
    }
    m_messages.clear();
    feed->setText(QStringLiteral("750,5"));
    range->setText(QStringLiteral("2.5"));
    click("Command1");
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_DOUBLE_EQ(Settings().Gcode.MillFeed, 750.5);
    EXPECT_DOUBLE_EQ(Settings().Gcode.HeightRange, 2.5);
    EXPECT_TRUE(m_config.bytes().contains("gcode_feed_mill=750,5\n"));
    EXPECT_TRUE(m_config.bytes().contains("gcode_height_range=2.5\n"));
}

// Testing a good port after a good port (the scripted one) closes the old one first; testing a
// missing port then leaves no port open. The typed name is not stored by a test.
TEST_F(Form4Test, ConnectionTestClosesTheOldPortFirst) {
    const int old = programMachineLink().PortHandle();
    typePort(QStringLiteral("sim"));
    click("Command3");
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].title, kConnectionOpenTitle);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Com-порт открыт"));
    const int tested = programMachineLink().PortHandle();
    EXPECT_GT(tested, 0);
    EXPECT_NE(tested, old);
    EXPECT_EQ(SerialTransportOf(old), nullptr);
    EXPECT_NE(SerialTransportOf(tested), nullptr);
    EXPECT_TRUE(windowOpen());

    typePort(QStringLiteral("/nonexistent/ttyCNC0"));
    click("Command3");
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_EQ(m_messages[1].title, kConnectionFailedTitle);
    EXPECT_EQ(m_messages[1].text, QStringLiteral("Ошибка открытия Com-порта"));
    EXPECT_LE(programMachineLink().PortHandle(), 0);
    EXPECT_EQ(SerialTransportOf(tested), nullptr);
    expectNothingChanged();
}

TEST_F(Form4Test, CancelAfterATestKeepsTheTestedPortAndChangesNothingElse) {
    typePort(QStringLiteral("sim:probe"));
    click("Command3");
    const int tested = programMachineLink().PortHandle();
    ASSERT_GT(tested, 0);
    ratioField(0)->setText(QStringLiteral("0.5"));
    click("Command2");

    EXPECT_FALSE(windowOpen());
    EXPECT_EQ(programMachineLink().PortHandle(), tested);
    EXPECT_NE(SerialTransportOf(tested), nullptr);
    expectNothingChanged();
}

// The connection test reopens the program's port through the machine link: a working window
// that is already open follows it at once (status line, output box, manual move), and a failed
// test takes the port from it again.
TEST_F(Form4Test, OpenWorkingWindowsFollowTheConnectionTest) {
    programMachineLink().adopt(kPortCannotOpen);  // the program started without its machine
    Form3 window;
    auto* status = child<QLabel>(&window, "Label4");
    auto* output = child<QCheckBox>(&window, "Check1");
    auto* move = child<QPushButton>(&window, "Command3");
    EXPECT_EQ(status->text(), QStringLiteral("Ошибка открытия Com-порта"));
    EXPECT_FALSE(output->isEnabled());

    PtyPair machine;
    ASSERT_TRUE(machine.isOpen());
    typePort(machine.devicePath());
    click("Command3");
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Com-порт открыт"));
    EXPECT_EQ(status->text(), QStringLiteral("Com-порт открыт"));
    ASSERT_TRUE(output->isEnabled());
    ASSERT_TRUE(move->isEnabled());
    output->setChecked(true);
    child<QLineEdit>(&window, "tx")->setText(QStringLiteral("1"));
    child<QLineEdit>(&window, "ty")->setText(QStringLiteral("0"));
    child<QLineEdit>(&window, "tz")->setText(QStringLiteral("-0,5"));
    machine.send("OK\r\n");
    move->click();
    EXPECT_EQ(machine.receive(12), QByteArray("-200,0,-100;"));  // X runs reversed here

    typePort(QStringLiteral("/nonexistent/ttyCNC0"));
    click("Command3");
    EXPECT_EQ(status->text(), QStringLiteral("Ошибка открытия Com-порта"));
    EXPECT_FALSE(output->isEnabled());
    EXPECT_FALSE(move->isEnabled());
    EXPECT_TRUE(output->isChecked());
}

TEST_F(Form4Test, ConnectionTestIsDisabledWhileAJobRuns) {
    TestWindow window(m_runner);
    const int before = programMachineLink().PortHandle();
    bool enabledDuring = true;
    window.host->runJob([&](JobHost&) {
        auto* test = child<QPushButton>(m_form, "Command3");
        enabledDuring = test->isEnabled();
        QTest::mouseClick(test, Qt::LeftButton);
    });
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(programMachineLink().PortHandle(), before);
    EXPECT_TRUE(child<QPushButton>(m_form, "Command3")->isEnabled());
}

}  // namespace
