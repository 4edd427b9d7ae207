#pragma once

#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "link/job/JobHost.h"

// What the line-rate benchmarks share: a job host that sleeps for real, with output on and a
// finished width of 200 mm, and the application object the serial port's notifiers want.

class TimedHost final : public JobHost {
public:
    bool outputEnabled() const override { return true; }
    QString fieldText(JobField) const override { return QStringLiteral("200"); }
    void redraw(const QRect&) override {}
    void letEventsRun() override {}
    void sleepMs(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    StopLevel stopLevel() const override { return StopLevel::None; }
    int replyTimeoutMs() const override { return 5000; }
    void reportProgress(const JobProgress&) override {}
    void showMessage(const MessageTitle&, const QString&) override {}
};

inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "link_bench";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}
