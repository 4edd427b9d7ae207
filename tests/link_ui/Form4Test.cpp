#include "link/ui/Form4.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "TestWindow.h"
#include "app/config/Config.h"
#include "engrave/ui/Form3.h"
#include "link/serial/SerialDriver.h"
#include "mill/ui/Form1.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TestProgram.h"

namespace {

// The settings window in the main window's area, as the menu opens it, over a temporary
// configuration file, a scripted port and the settings X -0.005, port "sim"; the messages are
// recorded.
class Form4Test : public ScriptedPortTest<> {
protected:
    void SetUp() override {
        ScriptedPortTest::SetUp();
        testProgram().settings.values().StepRatioX = -0.005;
        testProgram().settings.values().PortName = QStringLiteral("sim");
        m_form = new Form4(m_program);
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
        EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioX, -0.005);
        EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioY, 0.005);
        EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioZ, 0.005);
        EXPECT_EQ(testProgram().settings.values().PortName, QStringLiteral("sim"));
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

    // The new port is opened at once; this one does not exist, and the message says why.
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].text.startsWith("Ошибка открытия Com-порта\nПорт: /dev/ttyCNC-own."))
        << qPrintable(m_messages[0].text);
    EXPECT_TRUE(m_messages[0].text.contains("Причина: "));
    EXPECT_FALSE(testProgram().link.isOpen());
    EXPECT_FALSE(windowOpen());
    EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioX, 0.01);
    EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioY, 0.005);
    EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioZ, -0.0025);
    EXPECT_EQ(testProgram().settings.values().PortName, QStringLiteral("/dev/ttyCNC-own"));
    EXPECT_EQ(
        m_config.bytes(),
        "[CNC]\nSM_X_ratio=0.01\nSM_Y_ratio=0,005\nSM_Z_ratio=-0,0025\n"
        "port=/dev/ttyCNC-own\nport_timeout=120\nprobe_mm_per_unit=0,01\ngcode_feed_mill=600\n"
        "gcode_feed_plunge=200\n"
        "gcode_feed_laser=1500\ngcode_feed_probe=100\ngcode_laser_power=1000\n"
        "gcode_laser_scale=1000\ngcode_probe_limit=10\ngcode_height_range=5\n"
        "gcode_safe_height=5\ngcode_pass_depth=1\n");

    // The next manual move already uses the new ratios.
    testProgram().link.adopt(
        testProgram().driver.attach(std::make_unique<ScriptedTransport>(m_script)));
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
    // The router's travel height and depth per pass sit with the other G-code settings.
    auto* safe = child<QLineEdit>(m_form, "gcode_safe_height");
    auto* pass = child<QLineEdit>(m_form, "gcode_pass_depth");
    EXPECT_EQ(safe->parentWidget()->objectName(), QStringLiteral("Frame3"));
    EXPECT_EQ(safe->text(), QStringLiteral("5"));
    EXPECT_EQ(pass->text(), QStringLiteral("1"));
    safe->setText(QStringLiteral("12"));
    pass->setText(QStringLiteral("0,5"));
    click("Command1");
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_DOUBLE_EQ(testProgram().settings.values().Gcode.MillFeed, 750.5);
    EXPECT_DOUBLE_EQ(testProgram().settings.values().Gcode.HeightRange, 2.5);
    EXPECT_DOUBLE_EQ(testProgram().settings.values().Gcode.SafeHeight, 12);
    EXPECT_DOUBLE_EQ(testProgram().settings.values().Gcode.PassDepth, 0.5);
    EXPECT_TRUE(m_config.bytes().contains("gcode_feed_mill=750,5\n"));
    EXPECT_TRUE(m_config.bytes().contains("gcode_height_range=2.5\n"));
}

// Testing a good port after a good port (the scripted one) closes the old one first; testing a
// missing port then leaves no port open. The typed name is not stored by a test.
TEST_F(Form4Test, ConnectionTestClosesTheOldPortFirst) {
    const int old = testProgram().link.PortHandle();
    typePort(QStringLiteral("sim"));
    click("Command3");
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].title, kConnectionOpenTitle);
    EXPECT_TRUE(m_messages[0].text.startsWith("Com-порт открыт\nПорт: sim.\nКонтроллер ответил"))
        << qPrintable(m_messages[0].text);
    const int tested = testProgram().link.PortHandle();
    EXPECT_GT(tested, 0);
    EXPECT_NE(tested, old);
    EXPECT_EQ(testProgram().driver.transportOf(old), nullptr);
    EXPECT_NE(testProgram().driver.transportOf(tested), nullptr);
    EXPECT_TRUE(windowOpen());

    typePort(QStringLiteral("/nonexistent/ttyCNC0"));
    click("Command3");
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_EQ(m_messages[1].title, kConnectionFailedTitle);
    EXPECT_TRUE(m_messages[1].text.startsWith(
        "Ошибка открытия Com-порта\nПорт: /nonexistent/ttyCNC0.\nПричина: "))
        << qPrintable(m_messages[1].text);
    EXPECT_LE(testProgram().link.PortHandle(), 0);
    EXPECT_EQ(testProgram().driver.transportOf(tested), nullptr);
    expectNothingChanged();
}

TEST_F(Form4Test, CancelAfterATestKeepsTheTestedPortAndChangesNothingElse) {
    typePort(QStringLiteral("sim:probe"));
    click("Command3");
    const int tested = testProgram().link.PortHandle();
    ASSERT_GT(tested, 0);
    ratioField(0)->setText(QStringLiteral("0.5"));
    click("Command2");

    EXPECT_FALSE(windowOpen());
    EXPECT_EQ(testProgram().link.PortHandle(), tested);
    EXPECT_NE(testProgram().driver.transportOf(tested), nullptr);
    expectNothingChanged();
}

// The connection test reopens the program's port through the machine link: a working window
// that is already open follows it at once (status line, output box, manual move), and a failed
// test takes the port from it again. A controller that never answers the zero move is reported
// as silent, and the port stays open.
TEST_F(Form4Test, OpenWorkingWindowsFollowTheConnectionTest) {
    testProgram().link.adopt(kPortCannotOpen);  // the program started without its machine
    Form3 window(testProgram().context());
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
    EXPECT_EQ(m_messages[0].title, kConnectionFailedTitle);
    EXPECT_TRUE(m_messages[0].text.startsWith("Com-порт открыт\nПорт: " + machine.devicePath()));
    EXPECT_TRUE(m_messages[0].text.contains("за 2 с никто не ответил"))
        << qPrintable(m_messages[0].text);
    EXPECT_EQ(machine.receive(6), QByteArray("0,0,0;"));
    EXPECT_EQ(testProgram().link.linesWaiting(), 0);
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

// A controller that answers the zero move "OK" is reported as answering; the machine has not
// moved.
TEST_F(Form4Test, ConnectionTestAsksTheControllerWithAZeroMove) {
    PtyPair machine;
    ASSERT_TRUE(machine.isOpen());
    QByteArray asked;
    QTimer controller;
    QObject::connect(&controller, &QTimer::timeout, [&] {
        asked += machine.receive(6, 1);
        if (asked.endsWith(';')) machine.send("OK\r\n");
    });
    controller.start(5);
    typePort(machine.devicePath());
    click("Command3");
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].title, kConnectionOpenTitle);
    EXPECT_TRUE(m_messages[0].text.startsWith("Com-порт открыт\nПорт: " + machine.devicePath() +
                                              ".\nКонтроллер ответил «OK»"))
        << qPrintable(m_messages[0].text);
    EXPECT_EQ(asked, QByteArray("0,0,0;"));
    EXPECT_EQ(testProgram().link.position(), MachinePosition{});
    EXPECT_EQ(testProgram().link.linesWaiting(), 0);
}

// The wait for the controller has a way out: "Стоп" (Esc in the window) ends it at once, and so
// does closing the window, which then goes without a message once the test has ended.
TEST_F(Form4Test, StopOrClosingEndsTheWaitForTheController) {
    PtyPair machine;
    ASSERT_TRUE(machine.isOpen());
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing);
        QByteArray asked;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            asked += machine.receive(6, 1);
            if (!asked.endsWith(';')) return;
            if (closing)
                m_frame->close();
            else
                m_runner.requestStop();
            user.stop();
        });
        user.start(5);
        typePort(machine.devicePath());
        click("Command3");
        if (closing) {
            EXPECT_TRUE(m_messages.isEmpty());
            EXPECT_TRUE(QTest::qWaitFor([&] { return !windowOpen(); }));
        } else {
            ASSERT_EQ(m_messages.size(), 1);
            EXPECT_TRUE(
                m_messages[0].text.endsWith("Проверка прервана, ответа контроллера не "
                                            "дождались."))
                << qPrintable(m_messages[0].text);
            m_messages.clear();
        }
    }
}

// On a G-code port the test tells whether the file's folder can be written, and leaves no file
// there.
TEST_F(Form4Test, ConnectionTestOfAGcodeFileChecksItsFolder) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing/job.nc");
    typePort("gcode:" + missing);
    click("Command3");
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].title, kConnectionFailedTitle);
    EXPECT_TRUE(m_messages[0].text.startsWith("Ошибка открытия Com-порта\nПорт: gcode:" + missing));
    EXPECT_TRUE(
        m_messages[0].text.contains("в папку " + dir.filePath("missing") + " нельзя записать"))
        << qPrintable(m_messages[0].text);
    EXPECT_FALSE(testProgram().link.isOpen());

    const QString file = dir.filePath("job.nc");
    typePort("gcode:" + file);
    click("Command3");
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_EQ(m_messages[1].title, kConnectionOpenTitle);
    EXPECT_TRUE(m_messages[1].text.startsWith("Com-порт открыт"));
    EXPECT_TRUE(m_messages[1].text.contains("будет записан файл " + file));
    testProgram().link.close();
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// "ОК" with another port reopens it through the link: the open milling window takes it at once.
// The same port again is not reopened.
TEST_F(Form4Test, OkWithAChangedPortReopensItForTheOpenWindows) {
    testProgram().link.adopt(kPortCannotOpen);
    Form1 milling(testProgram().context());
    auto* output = child<QCheckBox>(&milling, "Check1");
    EXPECT_FALSE(output->isEnabled());
    PtyPair machine;
    ASSERT_TRUE(machine.isOpen());
    typePort(machine.devicePath());
    click("Command1");
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_TRUE(output->isEnabled());
    EXPECT_EQ(child<QLabel>(&milling, "Label4")->text(), QStringLiteral("Com-порт открыт"));
    EXPECT_EQ(testProgram().link.portName(), machine.devicePath());

    const int handle = testProgram().link.PortHandle();
    Form4 again(m_program);
    again.setMessageFunction([this](QWidget*, const MessageTitle& title, const QString& text) {
        m_messages.append({title, text});
    });
    child<QPushButton>(&again, "Command1")->click();
    EXPECT_EQ(testProgram().link.PortHandle(), handle);
}

TEST_F(Form4Test, ConnectionTestIsDisabledWhileAJobRuns) {
    TestWindow window(m_runner);
    const int before = testProgram().link.PortHandle();
    bool enabledDuring = true;
    window.host->runJob([&](JobHost&) {
        auto* test = child<QPushButton>(m_form, "Command3");
        enabledDuring = test->isEnabled();
        QTest::mouseClick(test, Qt::LeftButton);
    });
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(testProgram().link.PortHandle(), before);
    EXPECT_TRUE(child<QPushButton>(m_form, "Command3")->isEnabled());
}

// A job's step ratios hold for the whole job: "ОК" is disabled while any job runs, says why,
// and changes nothing when clicked then; afterwards it works again.
TEST_F(Form4Test, OkIsDisabledWhileAJobRuns) {
    TestWindow window(m_runner);
    child<QLineEdit>(m_form, "Text1")->setText("0,01");
    auto* ok = child<QPushButton>(m_form, "Command1");
    bool enabledDuring = true;
    QString reasonDuring;
    window.host->runJob([&](JobHost&) {
        enabledDuring = ok->isEnabled();
        reasonDuring = ok->toolTip();
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    EXPECT_FALSE(enabledDuring);
    EXPECT_FALSE(reasonDuring.isEmpty());
    EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioX, -0.005);
    ASSERT_TRUE(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(testProgram().settings.values().StepRatioX, 0.01);
}

}  // namespace
