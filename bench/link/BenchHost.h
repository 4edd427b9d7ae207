#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cstdio>
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

// A virtual controller's server (SimServer, GrblSimServer) serving its pseudo-terminal on a
// thread of its own for the life of the object, its transcript thrown away. ready() is false
// when no pseudo-terminal or stop pipe could be made.
template <class Server>
class ServedInBackground {
public:
    explicit ServedInBackground(Server& server) : m_server(server) {
        QString error;
        if (!server.open(&error) || ::pipe(m_stop) != 0) return;
        m_transcript = std::fopen("/dev/null", "w");
        m_serving = std::thread([this] { m_server.serve(m_stop[0], m_transcript); });
    }
    ~ServedInBackground() { stop(); }
    ServedInBackground(const ServedInBackground&) = delete;
    ServedInBackground& operator=(const ServedInBackground&) = delete;

    bool ready() const { return m_serving.joinable(); }
    // Ends the serving now (what the server did is then there to read); once only.
    void stop() {
        if (!m_serving.joinable()) return;
        [[maybe_unused]] const ssize_t written = ::write(m_stop[1], "x", 1);
        m_serving.join();
        std::fclose(m_transcript);
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }

private:
    Server& m_server;
    int m_stop[2] = {-1, -1};
    std::FILE* m_transcript = nullptr;
    std::thread m_serving;
};
