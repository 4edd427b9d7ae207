#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <atomic>
#include <mutex>
#include <thread>

#include "app/config/ProgramSettings.h"
#include "app/ui/CloseOnSignal.h"
#include "app/ui/MDIForm1.h"
#include "link/protocol/MachineLink.h"
#include "link/ui/WindowJobHost.h"
#include "mill/ui/Form1.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/DamagedPictures.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TestProgram.h"

namespace {

// The machine controller at the far end of a pseudo-terminal, on a thread of its own: it
// answers every move line with "OK" and, when the `signalAt`-th line arrives, sends the
// program SIGTERM, as a desktop's log-out does.
class SignallingController {
public:
    SignallingController(PtyPair& pty, int signalAt)
        : m_pty(pty), m_signalAt(signalAt), m_thread([this] { serve(); }) {}
    ~SignallingController() {
        m_done = true;
        m_thread.join();
    }
    QList<QByteArray> lines() {
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    void serve() {
        QByteArray pending;
        while (!m_done) {
            pending += m_pty.receive(1, 50);
            qsizetype end;
            while ((end = pending.indexOf(';')) >= 0) {
                const QByteArray line = pending.left(end + 1);
                pending.remove(0, end + 1);
                qsizetype count;
                {
                    const std::lock_guard lock(m_mutex);
                    m_lines << line;
                    count = m_lines.size();
                }
                if (count == m_signalAt) ::kill(::getpid(), SIGTERM);
                m_pty.send("OK\r\n");
            }
        }
    }

    PtyPair& m_pty;
    const int m_signalAt;
    std::mutex m_mutex;
    QList<QByteArray> m_lines;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

qint64 zOf(const QByteArray& line) {
    return line.chopped(1).split(',').value(2).toLongLong();
}

}  // namespace

// SIGTERM during a milling job through a pseudo-terminal: the job is stopped as "Стоп" does
// (the cutter lifted, nothing sent after the lift), then the milling window writes its fields
// to "cnc.ini", the port is closed and the main window is gone.
TEST(SignalClose, SigtermDuringAMillingJobLiftsTheCutterAndSavesTheFields) {
    PtyPair pty;
    ASSERT_TRUE(pty.isOpen());
    ScopedConfig config;
    const QString picture = writeWholePicture(config.dir(), QStringLiteral("discs.bmp"));
    config.write("[CNC]\nSM_X_ratio=0.005\nSM_Y_ratio=0.005\nSM_Z_ratio=0.005\nport=" +
                 pty.devicePath().toUtf8() + "\nImage=" + picture.toUtf8() + "\n");
    testProgram().settings.values() = ProgramSettings();
    MDIForm1 window(testProgram().context());
    closeOnTerminationSignals(window);
    window.show();
    ASSERT_TRUE(testProgram().link.isOpen());
    window.findChild<QAction*>("mill_cl")->trigger();
    auto* form = window.findChild<Form1*>();
    ASSERT_NE(form, nullptr);
    form->findChild<WindowJobHost*>()->setMessageFunction(
        [](QWidget*, const MessageTitle&, const QString&) {});
    form->findChild<QLineEdit*>("Text1")->setText("2,5");  // depth
    form->findChild<QLineEdit*>("Text6")->setText("150");  // finished width
    form->findChild<QCheckBox*>("Check1")->setChecked(true);
    form->findChild<QPushButton*>("Command1")->click();  // "Разобрать"

    constexpr int kSignalAt = 20;
    SignallingController controller(pty, kSignalAt);
    form->findChild<QPushButton*>("Command6")->click();  // "Все": returns when the job ended
    for (int turn = 0; turn < 1000 && window.isVisible(); ++turn)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(testProgram().link.isOpen());

    const QList<QByteArray> lines = controller.lines();
    ASSERT_GT(lines.size(), kSignalAt);
    EXPECT_TRUE(lines.last().startsWith("0,0,")) << lines.last().toStdString();
    EXPECT_NE(zOf(lines.last()), 0);
    qint64 depth = 0;
    for (const QByteArray& line : lines) depth += zOf(line);
    EXPECT_EQ(depth, 0) << "the cutter stands at the surface again";
    const QByteArray stored = config.bytes();
    EXPECT_TRUE(stored.contains("cncrez_depth=2,5")) << stored.toStdString();
    EXPECT_TRUE(stored.contains("cncrez_width=150")) << stored.toStdString();
    testProgram().settings.values() = ProgramSettings();
}
