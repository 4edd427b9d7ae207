#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/Config.h"
#include "app/ProgramSettings.h"
#include "app/ui/MDIForm1.h"
#include "engrave/ui/Form3.h"
#include "link/MoveProtocol.h"
#include "link/SerialPort.h"
#include "link/ui/WindowJobHost.h"
#include "mill/ui/Form1.h"
#include "outline/ui/Form5.h"
#include "scanner/ui/Form2.h"
#include "tests/app/ConfigTestSupport.h"
#include "tests/link/Fakes.h"

namespace {

const QByteArray kOk = "OK\r\n";

struct WindowCase {
    const char* name;
    QWidget* (*make)();
    const char* frameCaption;
    const char* outputCaption;
    const char* widthKey;  // the key its finished width (or picture width) is stored under
};

template <class Form>
QWidget* makeForm() {
    return new Form;
}

const WindowCase kWindows[] = {
    {"Form1", &makeForm<Form1>, "Настройка", "Фрезеровать", "cncrez_width"},
    {"Form2", &makeForm<Form2>, "Установка начального положения", "Сканировать",
     "scanner_picture_width"},
    {"Form3", &makeForm<Form3>, "Настройка", "Гравировать", "Etching_width"},
    {"Form5", &makeForm<Form5>, "Настройка", "Гравировать", "Etching2_width"},
};

// Each working window as the main window holds it, over a scripted port and a temporary
// configuration file.
class WorkingWindow : public ::testing::TestWithParam<WindowCase> {
protected:
    void SetUp() override {
        Settings() = ProgramSettings{};
        Settings().PortHandle = SerialAttach(std::make_unique<ScriptedTransport>(m_script));
    }
    void TearDown() override {
        SerialClose(Settings().PortHandle);
        Settings() = ProgramSettings{};
    }
    // Opens the window in the area; the port status is taken now.
    QWidget* open() {
        QWidget* form = GetParam().make();
        m_frame = m_area.addSubWindow(form);
        m_frame->setAttribute(Qt::WA_DeleteOnClose);
        m_frame->show();
        return form;
    }
    template <class T>
    static T* child(QWidget* form, const char* name) {
        T* found = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    ScopedConfig m_config;
    std::shared_ptr<PortScript> m_script = std::make_shared<PortScript>();
    QMdiArea m_area;
    QPointer<QMdiSubWindow> m_frame;
};

TEST_P(WorkingWindow, CarriesThePanelWithItsCaptionsAndThePortStatus) {
    QWidget* form = open();
    EXPECT_EQ(child<QGroupBox>(form, "ManualPanel")->title(),
              QString::fromUtf8(GetParam().frameCaption));
    EXPECT_EQ(child<QCheckBox>(form, "Check1")->text(),
              QString::fromUtf8(GetParam().outputCaption));
    EXPECT_EQ(child<QLabel>(form, "Label4")->text(), QStringLiteral("Com-порт открыт"));
    EXPECT_TRUE(child<QPushButton>(form, "Command3")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>(form, "Check1")->isEnabled());
    EXPECT_NE(child<QPushButton>(form, "StopButton"), nullptr);
    const char* const fields[] = {"tx", "ty", "tz"};
    const char* const axes[] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(child<QLineEdit>(form, fields[i])->text().isEmpty());
        EXPECT_EQ(child<QLineEdit>(form, fields[i])->toolTip(),
                  QStringLiteral("Перемещение по оси %1, мм").arg(QLatin1String(axes[i])));
    }
    m_frame->close();

    Settings().PortHandle = kPortCannotOpen;
    form = open();
    EXPECT_EQ(child<QLabel>(form, "Label4")->text(), QStringLiteral("Ошибка открытия Com-порта"));
    EXPECT_FALSE(child<QPushButton>(form, "Command3")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>(form, "Check1")->isEnabled());
    m_frame->close();
}

TEST_P(WorkingWindow, ManualMoveGoesThroughTheWindowsOwnProtocol) {
    QWidget* form = open();
    m_script->perLine = {kOk};
    child<QLineEdit>(form, "tx")->setText(QStringLiteral("-1"));
    child<QLineEdit>(form, "ty")->setText(QStringLiteral("0,5"));
    child<QLineEdit>(form, "tz")->setText(QStringLiteral("0"));
    child<QPushButton>(form, "Command3")->click();
    EXPECT_EQ(m_script->written, QList<QByteArray>{"-200,100,0;"});
    m_frame->close();
}

// Closing the window while its job waits for an answer: the job is stopped first, runs its
// safe-stop line, and only then the window writes its keys and goes away.
TEST_P(WorkingWindow, ClosedMidJobStopsTheJobThenCloses) {
    QWidget* form = open();
    auto* host = form->findChild<WindowJobHost*>();
    ASSERT_NE(host, nullptr);
    QStringList titles;
    host->setMessageFunction(
        [&](QWidget*, const QString& title, const QString&) { titles.append(title); });
    QPointer<QWidget> alive = form;
    child<QCheckBox>(form, "Check1")->setChecked(true);
    const QString key = QString::fromUtf8(GetParam().widthKey);

    m_script->arrivals = {};
    QString storedDuringJob = QStringLiteral("<not asked>");
    QTimer::singleShot(0, m_frame, [&] {
        m_frame->close();
        m_frame->close();  // asked twice, the job is still only stopped, not abandoned
        storedDuringJob = ReadSetting(key, QStringLiteral("<missing>"));
        m_script->arrivals = {kOk};
        m_script->perLine = {kOk};
    });
    const bool ran = host->runJob([&](JobHost& job) {
        // A line in flight when the window is closed, then the lift of a stopped job.
        SerialWrite(Settings().PortHandle, "1,0,0;");
        MoveProtocol protocol(MoveWindow::Milling, job);
        protocol.WaitForOk();
        if (job.stopLevel() == StopLevel::Stop) {
            protocol.sendLine(0, 0, -5, true);
            throw JobEnded(JobEnded::Reason::Stopped, QStringLiteral("Стоп"),
                           QStringLiteral("Работа остановлена."));
        }
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(storedDuringJob, QStringLiteral("<missing>"));
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"1,0,0;", "0,0,-5;"}));
    EXPECT_EQ(titles, QStringList{QStringLiteral("Стоп")});
    ASSERT_TRUE(alive);

    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive);
    EXPECT_NE(ReadSetting(key, QStringLiteral("<missing>")), QStringLiteral("<missing>"));
}

INSTANTIATE_TEST_SUITE_P(Windows, WorkingWindow, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the main window --------------------------------------------------------------------------

TEST(MainWindowDuringAJob, ClosingStopsTheJobAndShutsDownAfterIt) {
    ScopedConfig config;
    Settings() = ProgramSettings{};
    auto script = std::make_shared<PortScript>();
    QList<int> closedPorts;
    int jobsEnded = 0;
    SerialPortFunctions port;
    port.open = [&](const QString&, int) {
        return SerialAttach(std::make_unique<ScriptedTransport>(script));
    };
    port.close = [&](int handle) {
        closedPorts.append(handle);
        EXPECT_EQ(jobsEnded, 1);  // the port is closed only after the job has ended
        SerialClose(handle);
    };
    auto main = std::make_unique<MDIForm1>(port);
    main->show();
    main->findChild<QAction*>(QStringLiteral("etching_cl"))->trigger();
    auto* form = main->findChild<Form3*>();
    ASSERT_NE(form, nullptr);
    auto* host = form->findChild<WindowJobHost*>();
    ASSERT_NE(host, nullptr);
    host->setMessageFunction([](QWidget*, const QString&, const QString&) {});
    QPointer<Form3> alive = form;
    form->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);

    bool mainOpenDuringJob = false;
    QTimer::singleShot(0, main.get(), [&] {
        main->close();
        mainOpenDuringJob = main->isVisible();
        script->arrivals = {kOk};
        script->perLine = {kOk};
    });
    EXPECT_TRUE(host->runJob([&](JobHost& job) {
        SerialWrite(Settings().PortHandle, "0,0,5;");
        MoveProtocol protocol(MoveWindow::Engraving, job);
        protocol.WaitForOk();
        EXPECT_EQ(job.stopLevel(), StopLevel::Stop);
        protocol.sendLine(0, 0, -5, true);
        ++jobsEnded;
    }));
    EXPECT_TRUE(mainOpenDuringJob);
    EXPECT_TRUE(closedPorts.isEmpty());
    EXPECT_EQ(script->written, (QList<QByteArray>{"0,0,5;", "0,0,-5;"}));

    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(alive);
    EXPECT_EQ(closedPorts.size(), 1);
    EXPECT_EQ(Settings().PortHandle, 0);
    Settings() = ProgramSettings{};
}

}  // namespace
