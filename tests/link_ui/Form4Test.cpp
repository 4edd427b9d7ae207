#include "link/ui/Form4.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "TestWindow.h"
#include "app/Config.h"
#include "app/ProgramSettings.h"
#include "link/SerialPort.h"
#include "link/SerialRegistry.h"
#include "tests/app/ConfigTestSupport.h"
#include "tests/link/Fakes.h"

namespace {

const QString kTestTitle = QStringLiteral("Проверка соединения");
const QString kMissingPort = QStringLiteral("/nonexistent/ttyCNC0");

// The settings window in the main window's area, as the menu opens it, over a temporary
// configuration file; the messages are recorded.
class Form4Test : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = ProgramSettings{};
        Settings().StepRatioX = -0.005;
        Settings().PortName = QStringLiteral("sim");
        open();
    }
    void TearDown() override {
        if (m_frame) m_frame->close();
        SerialClose(Settings().PortHandle);
        Settings() = ProgramSettings{};
    }
    void open() {
        m_form = new Form4(m_runner);
        m_form->setMessageFunction([this](QWidget*, const QString& title, const QString& text) {
            m_messages.append({title, text});
        });
        m_frame = m_area.addSubWindow(m_form);
        m_frame->setAttribute(Qt::WA_DeleteOnClose);
        m_area.show();
        m_frame->show();
    }
    template <class T>
    T* child(const char* name) const {
        T* found = m_form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* ratioField(int axis) const {
        const char* const names[] = {"Text1", "Text2", "Text3"};
        return child<QLineEdit>(names[axis]);
    }
    void typePort(const QString& name) const { child<QComboBox>("Text4")->setEditText(name); }
    void click(const char* button) const {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    bool windowOpen() const { return m_frame && m_frame->isVisible(); }

    ScopedConfig m_config;
    JobRunner m_runner;
    QMdiArea m_area;
    QPointer<Form4> m_form;
    QPointer<QMdiSubWindow> m_frame;
    QList<ShownMessage> m_messages;
};

TEST_F(Form4Test, ShowsTheValuesInEffectWithTheDecimalComma) {
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("Настройка и калибровка"));
    EXPECT_EQ(ratioField(0)->text(), QStringLiteral("-0,005"));
    EXPECT_EQ(ratioField(1)->text(), QStringLiteral("0,005"));
    EXPECT_EQ(ratioField(2)->text(), QStringLiteral("0,005"));
    EXPECT_EQ(child<QComboBox>("Text4")->currentText(), QStringLiteral("sim"));
    EXPECT_EQ(child<QPushButton>("Command1")->text(), QStringLiteral("ОК"));
    EXPECT_EQ(child<QPushButton>("Command2")->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(child<QPushButton>("Command3")->text(), QStringLiteral("Проверить соединение"));
    // Nothing is read from the file: a stored ratio different from the one in effect is ignored.
    EXPECT_TRUE(m_config.bytes().isEmpty());
}

TEST_F(Form4Test, PortFieldSuggestsTheVirtualControllerAndAcceptsAnyText) {
    auto* port = child<QComboBox>("Text4");
    EXPECT_TRUE(port->isEditable());
    EXPECT_GE(port->findText(QStringLiteral("sim")), 0);
    typePort(QStringLiteral("/dev/ttyCNC-own"));
    click("Command1");
    EXPECT_EQ(Settings().PortName, QStringLiteral("/dev/ttyCNC-own"));
    EXPECT_EQ(ReadSetting(QStringLiteral("port"), {}), QStringLiteral("/dev/ttyCNC-own"));
}

TEST_F(Form4Test, OkPutsTheRatiosIntoEffectAtOnceAndStoresTheTextAsTyped) {
    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    Settings().PortHandle = SerialAttach(std::make_unique<ScriptedTransport>(script));
    ratioField(0)->setText(QStringLiteral("0.01"));
    ratioField(2)->setText(QStringLiteral("-0,0025"));
    typePort(QStringLiteral("ttyUSB1"));
    click("Command1");

    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_FALSE(windowOpen());
    EXPECT_DOUBLE_EQ(Settings().StepRatioX, 0.01);
    EXPECT_DOUBLE_EQ(Settings().StepRatioY, 0.005);
    EXPECT_DOUBLE_EQ(Settings().StepRatioZ, -0.0025);
    EXPECT_EQ(Settings().PortName, QStringLiteral("ttyUSB1"));
    EXPECT_EQ(ReadSetting(QStringLiteral("SM_X_ratio"), {}), QStringLiteral("0.01"));
    EXPECT_EQ(ReadSetting(QStringLiteral("SM_Y_ratio"), {}), QStringLiteral("0,005"));
    EXPECT_EQ(ReadSetting(QStringLiteral("SM_Z_ratio"), {}), QStringLiteral("-0,0025"));
    EXPECT_EQ(ReadSetting(QStringLiteral("port"), {}), QStringLiteral("ttyUSB1"));

    // The next manual move already uses the new ratios.
    TestWindow window(m_runner);
    window.protocol.ArduinoMoveMM(1, 0, 0.01);
    EXPECT_EQ(script->written, QList<QByteArray>{"100,0,-4;"});
}

struct BadRatio {
    int axis;  // 0 X, 1 Y, 2 Z
    const char* text;
};

class Form4BadRatio : public Form4Test, public ::testing::WithParamInterface<BadRatio> {};

TEST_P(Form4BadRatio, OkIsRefusedNamingTheFieldAndTheWindowStaysOpen) {
    const BadRatio c = GetParam();
    ratioField(c.axis)->setText(QString::fromUtf8(c.text));
    typePort(QStringLiteral("ttyUSB1"));
    click("Command1");

    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].title, QStringLiteral("Ошибка"));
    const QString axes[] = {QStringLiteral("«X:»"), QStringLiteral("«Y:»"), QStringLiteral("«Z:»")};
    EXPECT_TRUE(m_messages[0].text.contains(axes[c.axis])) << qPrintable(m_messages[0].text);
    EXPECT_TRUE(windowOpen());
    // Nothing changed, neither in effect nor in the file.
    EXPECT_DOUBLE_EQ(Settings().StepRatioX, -0.005);
    EXPECT_DOUBLE_EQ(Settings().StepRatioY, 0.005);
    EXPECT_DOUBLE_EQ(Settings().StepRatioZ, 0.005);
    EXPECT_EQ(Settings().PortName, QStringLiteral("sim"));
    EXPECT_TRUE(m_config.bytes().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Fields, Form4BadRatio,
                         ::testing::Values(BadRatio{0, "abc"}, BadRatio{1, "abc"},
                                           BadRatio{2, "abc"}, BadRatio{0, "0"},
                                           BadRatio{1, "0,000"}, BadRatio{2, ""}, BadRatio{0, "-"},
                                           BadRatio{1, "1,2,3"}, BadRatio{2, "-0.0"}));

TEST_F(Form4Test, TestingAGoodPortAfterAGoodPortClosesTheOldOneFirst) {
    const int old = SerialOpen(QStringLiteral("sim"), 9600);
    ASSERT_GT(old, 0);
    Settings().PortHandle = old;
    typePort(QStringLiteral("sim"));
    click("Command3");

    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].title, kTestTitle);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Com-порт открыт"));
    EXPECT_GT(Settings().PortHandle, 0);
    EXPECT_NE(Settings().PortHandle, old);
    EXPECT_EQ(SerialTransportOf(old), nullptr);
    EXPECT_NE(SerialTransportOf(Settings().PortHandle), nullptr);
    EXPECT_TRUE(windowOpen());
}

TEST_F(Form4Test, TestingAMissingPortLeavesNoPortOpen) {
    const int old = SerialOpen(QStringLiteral("sim"), 9600);
    Settings().PortHandle = old;
    typePort(kMissingPort);
    click("Command3");

    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].title, kTestTitle);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Ошибка открытия Com-порта"));
    EXPECT_LE(Settings().PortHandle, 0);
    EXPECT_EQ(SerialTransportOf(old), nullptr);
    // The typed name is not stored by the test.
    EXPECT_EQ(Settings().PortName, QStringLiteral("sim"));
}

TEST_F(Form4Test, CancelAfterATestKeepsTheTestedPortAndChangesNothingElse) {
    typePort(QStringLiteral("sim:probe"));
    click("Command3");
    const int tested = Settings().PortHandle;
    ASSERT_GT(tested, 0);
    ratioField(0)->setText(QStringLiteral("0.5"));
    click("Command2");

    EXPECT_FALSE(windowOpen());
    EXPECT_EQ(Settings().PortHandle, tested);
    EXPECT_NE(SerialTransportOf(tested), nullptr);
    EXPECT_DOUBLE_EQ(Settings().StepRatioX, -0.005);
    EXPECT_EQ(Settings().PortName, QStringLiteral("sim"));
    EXPECT_TRUE(m_config.bytes().isEmpty());
}

TEST_F(Form4Test, ConnectionTestIsDisabledWhileAJobRuns) {
    TestWindow window(m_runner);
    const int before = Settings().PortHandle;
    bool enabledDuring = true;
    window.host->runJob([&](JobHost&) {
        auto* test = child<QPushButton>("Command3");
        enabledDuring = test->isEnabled();
        QTest::mouseClick(test, Qt::LeftButton);
    });
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(Settings().PortHandle, before);
    EXPECT_TRUE(child<QPushButton>("Command3")->isEnabled());
}

}  // namespace
