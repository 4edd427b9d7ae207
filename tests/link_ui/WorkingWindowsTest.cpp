#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "TestWindow.h"
#include "app/config/Config.h"
#include "app/ui/MDIForm1.h"
#include "engrave/ui/Form3.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/ui/WindowJobHost.h"
#include "mill/ui/Form1.h"
#include "outline/ui/Form5.h"
#include "scanner/ui/Form2.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/TestProgram.h"

namespace {

const QByteArray kOk = "OK\r\n";

struct WindowCase {
    const char* name;
    QWidget* (*make)();
    const char* frameCaption;
    const char* outputCaption;
    const char* widthKey;  // the key its finished width (or picture width) is stored under
};

void PrintTo(const WindowCase& c, std::ostream* out) {
    *out << c.name;
}

template <class Form>
QWidget* makeForm() {
    return new Form(testProgram().context());
}

const WindowCase kWindows[] = {
    {"Form1", &makeForm<Form1>, "Настройка", "Фрезеровать", "cncrez_width"},
    {"Form2", &makeForm<Form2>, "Установка начального положения", "Сканировать",
     "scanner_picture_width"},
    {"Form3", &makeForm<Form3>, "Настройка", "Гравировать", "Etching_width"},
    {"Form5", &makeForm<Form5>, "Настройка", "Гравировать", "Etching2_width"},
};

// Runs a job in the window `form` whose line "1,0,0;" is still unanswered when `close` runs; the
// answer arrives after it. A job asked to stop sends the lift "0,0,-5;" and ends as stopped.
// Returns the titles of the messages the window showed.
QStringList runJobClosedMidWait(QWidget* form, PortScript& script, MoveRules kind,
                                const std::function<void()>& close) {
    auto* host = form->findChild<WindowJobHost*>();
    EXPECT_NE(host, nullptr);
    if (!host) return {};
    auto titles = std::make_shared<QStringList>();
    host->setMessageFunction([titles](QWidget*, const MessageTitle& title, const QString&) {
        titles->append(title.toString());
    });
    child<QCheckBox>(form, "Check1")->setChecked(true);
    QTimer::singleShot(0, form, [&] {
        close();
        script.arrivals = {kOk};
        script.perLine = {kOk};
    });
    EXPECT_TRUE(host->runJob([&](JobHost& job) {
        testProgram().driver.SerialWrite(testProgram().link.PortHandle(), "1,0,0;");
        MoveProtocol protocol(kind, job, testProgram().link, testProgram().settings.values());
        protocol.WaitForOk();
        if (job.stopLevel() != StopLevel::Stop) return;
        protocol.sendLine(0, 0, -5, true);
        throw JobEnded(JobEnded::Reason::Stopped, kStopTitle,
                       QStringLiteral("Работа остановлена."));
    }));
    return *titles;
}

// Each working window as the main window holds it, over a scripted port and a temporary
// configuration file.
class WorkingWindow : public ScriptedPortTest<::testing::TestWithParam<WindowCase>> {
protected:
    // Opens the window in the area; the port status is taken now.
    QWidget* open() {
        QWidget* form = GetParam().make();
        m_frame = m_area.addSubWindow(form);
        m_frame->setAttribute(Qt::WA_DeleteOnClose);
        m_frame->show();
        return form;
    }

    ScopedConfig m_config;
    QMdiArea m_area;
    QPointer<QMdiSubWindow> m_frame;
};

// The panel with its captions and hints moves the machine through the window's own protocol;
// opened without a port, the window says so and the panel stays disabled.
TEST_P(WorkingWindow, CarriesThePanelWithItsCaptionsAndThePortStatus) {
    QWidget* form = open();
    EXPECT_EQ(child<QGroupBox>(form, "ManualPanel")->title(),
              QString::fromUtf8(GetParam().frameCaption));
    EXPECT_EQ(child<QCheckBox>(form, "Check1")->text(),
              QString::fromUtf8(GetParam().outputCaption));
    EXPECT_EQ(child<QLabel>(form, "Label4")->text(), QStringLiteral("Com-порт открыт"));
    EXPECT_NE(child<QPushButton>(form, "StopButton"), nullptr);
    EXPECT_TRUE(child<QCheckBox>(form, "Check1")->isEnabled());
    const char* const fields[] = {"tx", "ty", "tz"};
    const char* const typed[] = {"-1", "0,5", "0"};
    for (int i = 0; i < 3; ++i) {
        auto* field = child<QLineEdit>(form, fields[i]);
        EXPECT_EQ(field->toolTip(),
                  QStringLiteral("Перемещение по оси %1, мм").arg(QChar('X' + i)));
        field->setText(QString::fromUtf8(typed[i]));
    }
    m_script->perLine = {kOk};
    child<QPushButton>(form, "Command3")->click();
    EXPECT_EQ(m_script->written, QList<QByteArray>{"-200,100,0;"});
    m_frame->close();

    testProgram().link.adopt(kPortCannotOpen);
    form = open();
    EXPECT_EQ(child<QLabel>(form, "Label4")->text(), QStringLiteral("Ошибка открытия Com-порта"));
    EXPECT_FALSE(child<QPushButton>(form, "Command3")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>(form, "Check1")->isEnabled());
    m_frame->close();
}

// Closing the window while its job waits for an answer: the job is stopped first, runs its
// safe-stop line, and only then the window writes its keys and goes away.
TEST_P(WorkingWindow, ClosedMidJobStopsTheJobThenCloses) {
    QWidget* form = open();
    QPointer<QWidget> alive = form;
    const QString key = QString::fromUtf8(GetParam().widthKey);
    QString storedDuringJob = QStringLiteral("<not asked>");
    const QStringList titles = runJobClosedMidWait(form, *m_script, MoveRules::Milling, [&] {
        m_frame->close();
        m_frame->close();  // asked twice, the job is still only stopped, not abandoned
        storedDuringJob = testProgram().config.ReadSetting(key, QStringLiteral("<missing>"));
    });
    EXPECT_EQ(titles, QStringList{QStringLiteral("Стоп")});
    EXPECT_EQ(storedDuringJob, QStringLiteral("<missing>"));
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"1,0,0;", "0,0,-5;"}));
    ASSERT_TRUE(alive);

    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive);
    EXPECT_NE(testProgram().config.ReadSetting(key, QStringLiteral("<missing>")),
              QStringLiteral("<missing>"));
}

// Closing writes all the window's keys in one replacement of "cnc.ini"; where the file cannot
// be written, the window says so, naming the file and the reason.
TEST_P(WorkingWindow, ClosingWritesTheConfigurationOnceOrSaysWhyNot) {
    m_config.write("[CNC]\n");
    QWidget* form = open();
    const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(events, 0);
    ::inotify_add_watch(events, m_config.dir().toLocal8Bit().constData(), IN_MOVED_TO);
    m_frame->close();
    int replacements = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(events, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && QByteArray(event->name) == "cnc.ini") ++replacements;
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(events);
    EXPECT_EQ(replacements, 1);
    EXPECT_NE(testProgram().config.ReadSetting(QString::fromUtf8(GetParam().widthKey), "<missing>"),
              "<missing>");

    const QString unwritable = QDir(m_config.dir()).filePath("missing/cnc.ini");
    testProgram().config = ConfigFile(unwritable);
    form = open();
    QStringList messages;
    form->findChild<WindowJobHost*>()->setMessageFunction(
        [&](QWidget*, const MessageTitle& title, const QString& text) {
            messages << title.toString() + ": " + text;
        });
    m_frame->close();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Ошибка: Не удалось записать файл " + unwritable + ": "))
        << messages[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Windows, WorkingWindow, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.name); });

// Closing the main window during a job stops the job, and the program shuts down after it: the
// port is closed only once the job has ended.
TEST(MainWindowDuringAJob, ClosingStopsTheJobAndShutsDownAfterIt) {
    ScopedConfig config;
    // The main window opens the stored port through a kind of port of the test's own.
    config.write("[CNC]\nport=scripted:machine\n");
    testProgram().settings.values() = ProgramSettings{};
    auto script = std::make_shared<PortScript>();
    QStringList opened;
    testProgram().portKinds.add(QStringLiteral("scripted"), [&](const QString& address, int baud) {
        opened << QStringLiteral("%1 %2").arg(address).arg(baud);
        return testProgram().driver.attach(std::make_unique<ScriptedTransport>(script));
    });
    QList<int> closedPorts;
    const QMetaObject::Connection watch =
        QObject::connect(&testProgram().link, &MachineLink::portChanged, [&](int handle) {
            if (handle == 0) closedPorts.append(handle);
        });
    auto main = std::make_unique<MDIForm1>(testProgram().context());
    EXPECT_EQ(opened, QStringList{"machine 9600"});
    main->show();
    main->findChild<QAction*>(QStringLiteral("etching_cl"))->trigger();
    QPointer<Form3> form = main->findChild<Form3*>();
    ASSERT_NE(form, nullptr);

    bool mainOpenDuringJob = false;
    runJobClosedMidWait(form, *script, MoveRules::Engraving, [&] {
        main->close();
        mainOpenDuringJob = main->isVisible();
    });
    EXPECT_TRUE(mainOpenDuringJob);
    EXPECT_TRUE(closedPorts.isEmpty());
    EXPECT_EQ(script->written, (QList<QByteArray>{"1,0,0;", "0,0,-5;"}));

    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(form);
    EXPECT_EQ(closedPorts.size(), 1);
    EXPECT_EQ(testProgram().link.PortHandle(), 0);
    QObject::disconnect(watch);
    testProgram().settings.values() = ProgramSettings{};
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Lets closed windows go away.
void settle() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The program with "gcode:FILE" as its port: opened and closed with no job it leaves an
// existing FILE byte for byte as it was; a job of a window writes FILE when it ends (not
// before), with the window's fields and their units in the header, and quitting afterwards
// leaves it so.
TEST(GcodeFilePort, AWindowsJobWritesTheFileWhenItEndsAndNoJobLeavesItAlone) {
    ScopedConfig config;
    const QString path = config.dir() + QStringLiteral("/job.nc");
    const QByteArray handWritten = "; written by hand\nG0 X1\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(handWritten);
    }
    config.write("[CNC]\nport=gcode:" + path.toUtf8() + "\n");
    testProgram().settings.values() = ProgramSettings{};
    {
        MDIForm1 main(testProgram().context());
        main.show();
        EXPECT_GT(testProgram().link.PortHandle(), 0);
        main.findChild<QAction*>(QStringLiteral("etching_cl"))->trigger();
        main.close();
        settle();
    }
    EXPECT_EQ(testProgram().link.PortHandle(), 0);
    EXPECT_EQ(fileBytes(path), handWritten);

    auto main = std::make_unique<MDIForm1>(testProgram().context());
    main->show();
    main->findChild<QAction*>(QStringLiteral("etching_cl"))->trigger();
    Form3* form = main->findChild<Form3*>();
    ASSERT_NE(form, nullptr);
    auto* host = form->findChild<WindowJobHost*>();
    ASSERT_NE(host, nullptr);
    QStringList messages;
    host->setMessageFunction(
        [&](QWidget*, const MessageTitle&, const QString& text) { messages << text; });
    QByteArray during;
    EXPECT_TRUE(host->runJob([&](JobHost& job) {
        MoveProtocol protocol(MoveRules::Engraving, job, testProgram().link,
                              testProgram().settings.values());
        protocol.sendLine(0, 0, -100, true);
        protocol.sendLine(100, 0, 255, true);
        protocol.sendLine(100, 0, 255, true);
        during = fileBytes(path);
    }));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(during, handWritten);
    const QByteArray written = fileBytes(path);
    const QString header = QString::fromUtf8(written.left(written.indexOf("\nG21\n")));
    EXPECT_TRUE(header.contains(QStringLiteral("; работа: %1").arg(form->windowTitle())))
        << header.toStdString();
    EXPECT_TRUE(header.contains(QStringLiteral("ширина 200 мм"))) << header.toStdString();
    EXPECT_FALSE(header.contains(QStringLiteral("Etching_width"))) << header.toStdString();
    EXPECT_TRUE(written.endsWith("\nG21\nG91\nM5\nM4 S0\nG1 X1 S1000 F1500\nM5\n"))
        << written.toStdString();

    main->close();
    settle();
    main.reset();
    EXPECT_EQ(fileBytes(path), written);
    testProgram().settings.values() = ProgramSettings{};
}

}  // namespace
