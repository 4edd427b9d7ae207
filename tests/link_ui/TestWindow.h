#pragma once

#include <QCloseEvent>
#include <QList>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "link/MoveProtocol.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"

struct ShownMessage {
    QString title;
    QString text;
};

// A working window reduced to what the job machinery needs: the manual panel, a job button and
// the job bar, wired the way the program's working windows wire them. Messages are recorded.
class TestWindow : public QWidget {
public:
    explicit TestWindow(JobRunner& runner)
        : host(new WindowJobHost(this, runner)),
          protocol(MoveWindow::Milling, *host),
          panel(new ManualPanel(QStringLiteral("Настройка"), QStringLiteral("Фрезеровать"), *host,
                                protocol, this)),
          bar(new JobBar(this)),
          jobButton(new QPushButton(QStringLiteral("Все"), this)) {
        host->setJobBar(bar);
        host->addJobControl(jobButton);
        host->setMessageFunction([this](QWidget*, const QString& title, const QString& text) {
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
