#pragma once

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QList>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"
#include "link/serial/SerialDriver.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

struct ShownMessage {
    MessageTitle title;
    QString text;
};

// The child of `window` with that object name; a missing one fails the test.
template <class T>
T* child(const QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// The settings of a fresh installation with a scripted port open as the program's port, and a
// job runner; the settings are restored and the port closed afterwards.
template <class Base = ::testing::Test>
class ScriptedPortTest : public Base {
protected:
    void SetUp() override {
        testProgram().settings.values() = ProgramSettings{};
        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<ScriptedTransport>(m_script)));
    }
    void TearDown() override {
        testProgram().link.close();
        testProgram().settings.values() = ProgramSettings{};
    }

    std::shared_ptr<PortScript> m_script = std::make_shared<PortScript>();
    JobRunner m_runner;
    // The test program's parts with this test's runner.
    ProgramContext m_program{testProgram().config, testProgram().settings, testProgram().link,
                             m_runner};
};

// A working window reduced to what the job machinery needs: the manual panel, a job button and
// the job bar, wired the way the program's working windows wire them. Messages are recorded.
class TestWindow : public QWidget {
public:
    explicit TestWindow(JobRunner& runner)
        : host(new WindowJobHost(this, runner, testProgram().settings.values())),
          protocol(MoveRules::Milling, *host, testProgram().link, testProgram().settings.values()),
          panel(new ManualPanel(QStringLiteral("Настройка"), QStringLiteral("Фрезеровать"), *host,
                                protocol, testProgram().context(), this)),
          bar(new JobBar(this)),
          jobButton(new QPushButton(QStringLiteral("Все"), this)) {
        host->setJobBar(bar);
        host->addJobControl(jobButton);
        host->setMessageFunction([this](QWidget*, const MessageTitle& title, const QString& text) {
            messages.append({title, text});
        });
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(panel);
        layout->addWidget(jobButton);
        layout->addWidget(bar);
        panel->showPortStatus();
    }

    WindowJobHost* host;
    MoveProtocol protocol;
    ManualPanel* panel;
    JobBar* bar;
    QPushButton* jobButton;
    QList<ShownMessage> messages;
    int unloads = 0;  // how often the window really closed

protected:
    void closeEvent(QCloseEvent* event) override {
        if (!host->readyToClose()) {
            event->ignore();
            return;
        }
        ++unloads;
        event->accept();
    }
};
