#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <functional>
#include <memory>
#include <optional>

#include "link/job/JobHost.h"
#include "link/serial/SerialTransport.h"

// What a scripted port saw and still has to deliver; shared between the test and the transport
// that the driver owns.
struct PortScript {
    QList<QByteArray> written;  // every write, in order
    // Chunks still to arrive, one per poll; an empty chunk is a poll that finds nothing.
    QList<QByteArray> arrivals;
    QList<QByteArray> perLine;  // chunks queued as arrivals after each write
    QByteArray delivered;       // everything handed to the driver so far
    int polls = 0;              // calls of readAvailable
    qint64 acceptAtMost = -1;   // a short write: accept only this many bytes (-1: all)
    int errorsCleared = 0;
    bool speaksGcode = false;     // the port takes the lines as a G-code port does
    QList<LineMeaning> meanings;  // what the port was told of each line, in order
    // Where the controller reports the machine (mm), for a port that reports it (GRBL).
    std::optional<SerialTransport::Position> reported;
};

// A serial line whose answers a test scripts: each poll delivers at most one chunk.
class ScriptedTransport final : public SerialTransport {
public:
    explicit ScriptedTransport(std::shared_ptr<PortScript> script) : m_script(std::move(script)) {}
    qint64 write(const QByteArray& bytes) override {
        m_script->written.append(bytes);
        m_script->arrivals += m_script->perLine;
        return m_script->acceptAtMost < 0 ? bytes.size()
                                          : qMin(m_script->acceptAtMost, bytes.size());
    }
    void readAvailable(QByteArray& into) override {
        ++m_script->polls;
        if (m_script->arrivals.isEmpty()) return;
        const QByteArray chunk = m_script->arrivals.takeFirst();
        m_script->delivered += chunk;
        into += chunk;
    }
    void clearError() override { ++m_script->errorsCleared; }
    void describeLine(const LineMeaning& meaning) override { m_script->meanings.append(meaning); }
    bool speaksGcode() const override { return m_script->speaksGcode; }
    std::optional<Position> reportedPosition() const override { return m_script->reported; }

private:
    std::shared_ptr<PortScript> m_script;
};

// A silent host that records; its clock advances only with sleepMs, so time limits are tested
// without waiting.
class FakeJobHost : public JobHost {
public:
    bool outputEnabled() const override { return output; }
    QString fieldText(JobField field) const override { return fields.value(field); }
    void redraw(const QRect&) override {}
    void letEventsRun() override {
        ++eventRounds;
        if (onEvents) onEvents(*this);
    }
    void sleepMs(int milliseconds) override {
        sleeps.append(milliseconds);
        now += milliseconds;
    }
    StopLevel stopLevel() const override { return stop; }
    int replyTimeoutMs() const override { return timeoutMs; }
    std::int64_t clockMs() const override { return now; }
    void reportProgress(const JobProgress&) override {}
    void showMessage(const MessageTitle&, const QString&) override {}

    bool output = true;
    QMap<JobField, QString> fields;
    StopLevel stop = StopLevel::None;
    int timeoutMs = 0;
    std::int64_t now = 0;
    int eventRounds = 0;
    QList<int> sleeps;
    // Runs inside every letEventsRun, as a handler the user starts during a wait would.
    std::function<void(FakeJobHost&)> onEvents;
};
