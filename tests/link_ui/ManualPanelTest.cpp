#include "link/ui/ManualPanel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "TestWindow.h"
#include "app/ProgramSettings.h"
#include "link/SerialPort.h"
#include "tests/link/Fakes.h"

namespace {

const QByteArray kOk = "OK\r\n";

// The panel in a window over a scripted port, with the ratios of a fresh installation.
class ManualPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = ProgramSettings{};
        Settings().PortHandle = SerialAttach(std::make_unique<ScriptedTransport>(m_script));
        m_window = std::make_unique<TestWindow>(m_runner);
    }
    void TearDown() override {
        m_window.reset();
        SerialClose(Settings().PortHandle);
        Settings() = ProgramSettings{};
    }
    template <class T>
    T* child(const char* name) const {
        T* found = m_window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void type(const char* x, const char* y, const char* z) const {
        child<QLineEdit>("tx")->setText(QString::fromUtf8(x));
        child<QLineEdit>("ty")->setText(QString::fromUtf8(y));
        child<QLineEdit>("tz")->setText(QString::fromUtf8(z));
    }
    void clickMove() const { QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton); }

    std::shared_ptr<PortScript> m_script = std::make_shared<PortScript>();
    JobRunner m_runner;
    std::unique_ptr<TestWindow> m_window;
};

struct InvalidCase {
    const char* x;
    const char* y;
    const char* z;
    const char* message;
};

class ManualPanelInvalid : public ManualPanelTest,
                           public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(ManualPanelInvalid, ReportsTheFirstBadFieldInAxisOrderAndSendsNothing) {
    const InvalidCase c = GetParam();
    m_script->perLine = {kOk};
    type(c.x, c.y, c.z);
    clickMove();
    ASSERT_EQ(m_window->messages.size(), 1);
    EXPECT_EQ(m_window->messages[0].title, QStringLiteral("Ошибка"));
    EXPECT_EQ(m_window->messages[0].text, QString::fromUtf8(c.message));
    EXPECT_TRUE(m_script->written.isEmpty());
}

const char kFirst[] = "Введите число в поле для перемещения по 1-ой оси!";
const char kSecond[] = "Введите число в поле для перемещения по 2-ой оси!";
const char kThird[] = "Введите число в поле для перемещения по 3-ей оси!";

INSTANTIATE_TEST_SUITE_P(Fields, ManualPanelInvalid,
                         ::testing::Values(InvalidCase{"-", "0", "0", kFirst},
                                           InvalidCase{"", "", "", kFirst},
                                           InvalidCase{"1", "", "0", kSecond},
                                           InvalidCase{"1", "x", "y", kSecond},
                                           InvalidCase{"1,5", "-2", "1,2,3", kThird},
                                           InvalidCase{"1", "2", "--3", kThird}));

TEST_F(ManualPanelTest, AllFieldsZeroSendsTheZeroMoveAndWaitsForItsAnswer) {
    for (const bool ticked : {true, false}) {
        SCOPED_TRACE(ticked ? "output ticked" : "output clear");
        m_script->written.clear();
        child<QCheckBox>("Check1")->setChecked(ticked);
        // The answer arrives only on the third poll: the move waits for it either way.
        m_script->perLine = {QByteArray(), QByteArray(), kOk};
        type("0", "0", "0");
        clickMove();
        EXPECT_EQ(m_script->written, QList<QByteArray>{"0,0,0;"});
        EXPECT_TRUE(m_script->arrivals.isEmpty());
        EXPECT_TRUE(m_window->messages.isEmpty());
    }
}

TEST_F(ManualPanelTest, WithoutAPortTheOutputBoxAndTheMoveButtonAreDisabled) {
    EXPECT_EQ(child<QLabel>("Label4")->text(), QStringLiteral("Com-порт открыт"));
    EXPECT_TRUE(child<QCheckBox>("Check1")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("Command3")->isEnabled());

    for (const int handle : {0, kPortCannotOpen, kPortSettingsRefused}) {
        SCOPED_TRACE(handle);
        const int open = Settings().PortHandle;
        Settings().PortHandle = handle;
        TestWindow window(m_runner);
        Settings().PortHandle = open;
        EXPECT_EQ(window.findChild<QLabel*>("Label4")->text(),
                  QStringLiteral("Ошибка открытия Com-порта"));
        EXPECT_FALSE(window.findChild<QCheckBox*>("Check1")->isEnabled());
        EXPECT_FALSE(window.findChild<QPushButton*>("Command3")->isEnabled());
        // A job elsewhere that ends does not enable them either.
        m_runner.run(*m_window->host, [](JobHost&) {});
        EXPECT_FALSE(window.findChild<QPushButton*>("Command3")->isEnabled());
        // The status was taken at load: a port opened later does not change it.
        EXPECT_EQ(window.findChild<QLabel*>("Label4")->text(),
                  QStringLiteral("Ошибка открытия Com-порта"));
    }
}

}  // namespace
