#include "link/JobRunner.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "Fakes.h"
#include "app/ProgramSettings.h"
#include "link/MoveProtocol.h"
#include "link/ReplyWait.h"
#include "link/SerialPort.h"

namespace {

const QByteArray kOk = "OK\r\n";
const QString kToolWarning = QStringLiteral("Инструмент может остаться опущенным");

struct Message {
    QString title;
    QString text;
};

// A window as the runner sees it: the stop level comes from the runner while its job runs, and
// the messages are recorded.
class RunnerHost : public FakeJobHost {
public:
    explicit RunnerHost(JobRunner& runner) : m_runner(runner) {}
    StopLevel stopLevel() const override {
        return m_runner.currentHost() == this ? m_runner.stopLevel() : StopLevel::None;
    }
    void showMessage(const QString& title, const QString& text) override {
        messages.append({title, text});
    }
    QList<Message> messages;

private:
    JobRunner& m_runner;
};

// A job in the manner of the milling jobs: plunge, then a line per step; asked to stop, it
// lifts the tool back to the surface before it ends.
class ScriptedJob {
public:
    ScriptedJob(JobHost& host, int steps) : m_protocol(MoveWindow::Milling, host), m_steps(steps) {}
    void operator()(JobHost& host) {
        m_protocol.sendLine(0, 0, 50, true);
        for (int step = 0; step < m_steps; ++step) {
            if (host.stopLevel() != StopLevel::None) {
                m_protocol.sendLine(0, 0, -50, true);
                throw JobEnded(JobEnded::Reason::Stopped, QStringLiteral("Стоп"),
                               QStringLiteral("Работа остановлена. Фреза поднята к поверхности."));
            }
            m_protocol.sendLine(1, 0, 0, true);
        }
        m_protocol.sendLine(0, 0, -50, true);
    }

private:
    MoveProtocol m_protocol;
    int m_steps;
};

class JobRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = ProgramSettings{};
        Settings().PortHandle = SerialAttach(std::make_unique<ScriptedTransport>(m_script));
        connect();
    }
    void TearDown() override {
        SerialClose(Settings().PortHandle);
        Settings() = ProgramSettings{};
    }
    void connect() {
        QObject::connect(&m_runner, &JobRunner::busyChanged,
                         [this](bool busy) { m_busySignals.append(busy); });
    }
    // Runs the scripted job in m_host and says whether the runner took it.
    bool runScripted(int steps) {
        ScriptedJob job(m_host, steps);
        return m_runner.run(m_host, [&job](JobHost& host) { job(host); });
    }

    std::shared_ptr<PortScript> m_script = std::make_shared<PortScript>();
    JobRunner m_runner;
    RunnerHost m_host{m_runner};
    QList<bool> m_busySignals;
};

TEST_F(JobRunnerTest, JobThatEndsNormallyShowsNothingAndLeavesTheRunnerIdle) {
    m_script->perLine = {kOk};
    EXPECT_TRUE(runScripted(3));
    EXPECT_EQ(m_script->written,
              (QList<QByteArray>{"0,0,50;", "1,0,0;", "1,0,0;", "1,0,0;", "0,0,-50;"}));
    EXPECT_TRUE(m_host.messages.isEmpty());
    EXPECT_FALSE(m_runner.busy());
    EXPECT_EQ(m_runner.currentHost(), nullptr);
    EXPECT_EQ(m_busySignals, (QList<bool>{true, false}));
}

TEST_F(JobRunnerTest, SecondJobCannotStartWhileOneRunsInTheSameOrAnotherWindow) {
    m_script->perLine = {kOk};
    RunnerHost other(m_runner);
    bool nestedStarted = false;
    QList<bool> nestedTaken;
    m_host.onEvents = [&](FakeJobHost&) {
        // A click handled while the job waits: both windows' attempts are turned away.
        if (!nestedTaken.isEmpty()) return;
        nestedTaken.append(m_runner.run(m_host, [&](JobHost&) { nestedStarted = true; }));
        nestedTaken.append(m_runner.run(other, [&](JobHost&) { nestedStarted = true; }));
        EXPECT_EQ(m_runner.currentHost(), &m_host);
        EXPECT_EQ(other.stopLevel(), StopLevel::None);
    };
    // The first answer arrives one poll late, so the job lets events run at least once.
    m_script->arrivals = {QByteArray()};
    EXPECT_TRUE(runScripted(2));
    EXPECT_EQ(nestedTaken, (QList<bool>{false, false}));
    EXPECT_FALSE(nestedStarted);
    EXPECT_TRUE(other.messages.isEmpty());
    EXPECT_EQ(m_busySignals, (QList<bool>{true, false}));
    // Once the job has ended, the other window may run its own.
    bool laterRan = false;
    EXPECT_TRUE(m_runner.run(other, [&](JobHost&) { laterRan = true; }));
    EXPECT_TRUE(laterRan);
}

TEST_F(JobRunnerTest, StopDuringWaitEndsAfterTheOkAndRunsTheSafeStopLines) {
    int rounds = 0;
    m_host.onEvents = [&](FakeJobHost&) {
        // "Стоп" while the second line waits; its answer comes a few polls later.
        if (m_script->written.size() == 2 && rounds++ == 0) {
            m_runner.requestStop();
            EXPECT_EQ(m_host.stopLevel(), StopLevel::Stop);
        }
    };
    m_script->perLine = {};
    m_script->arrivals = {kOk};  // the plunge is answered at once
    QObject::connect(&m_runner, &JobRunner::stopLevelChanged, [&](StopLevel level) {
        if (level == StopLevel::Stop) {
            m_script->arrivals = {QByteArray(), QByteArray(), kOk};
            m_script->perLine = {kOk};
        }
    });
    EXPECT_TRUE(runScripted(10));
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"0,0,50;", "1,0,0;", "0,0,-50;"}));
    EXPECT_TRUE(m_script->arrivals.isEmpty());  // the line in flight and the lift both answered
    ASSERT_EQ(m_host.messages.size(), 1);
    EXPECT_EQ(m_host.messages[0].title, QStringLiteral("Стоп"));
    EXPECT_TRUE(m_host.messages[0].text.contains(QStringLiteral("поднята")));
    EXPECT_EQ(m_runner.stopLevel(), StopLevel::None);
    EXPECT_FALSE(m_runner.busy());
}

// How a stopped job can end up abandoned: "Стоп" pressed twice, or a controller that never
// answers after the first.
enum class AbandonWay { StopTwice, NoAnswer };

class JobRunnerAbandon : public JobRunnerTest, public ::testing::WithParamInterface<AbandonWay> {};

TEST_P(JobRunnerAbandon, EndsAtOnceWithTheWarningAndSendsNothingMore) {
    m_script->arrivals = {kOk};  // the plunge is answered, the next line never
    m_host.onEvents = [&](FakeJobHost&) {
        if (m_script->written.size() < 2) return;
        if (m_runner.stopLevel() == StopLevel::None)
            m_runner.requestStop();
        else if (GetParam() == AbandonWay::StopTwice)
            m_runner.requestStop();
    };
    EXPECT_TRUE(runScripted(10));
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"0,0,50;", "1,0,0;"}));
    ASSERT_EQ(m_host.messages.size(), 1);
    EXPECT_EQ(m_host.messages[0].title, QStringLiteral("Ошибка"));
    EXPECT_TRUE(m_host.messages[0].text.contains(kToolWarning))
        << qPrintable(m_host.messages[0].text);
    if (GetParam() == AbandonWay::NoAnswer) {
        // The wait gave the controller its time after "Стоп", and not much more.
        EXPECT_GE(m_host.now, kStopReplyTimeoutMs);
        EXPECT_LT(m_host.now, kStopReplyTimeoutMs + 100);
    } else {
        EXPECT_LT(m_host.now, 10);
    }
    EXPECT_FALSE(m_runner.busy());
    EXPECT_EQ(m_runner.stopLevel(), StopLevel::None);
}

INSTANTIATE_TEST_SUITE_P(Ways, JobRunnerAbandon,
                         ::testing::Values(AbandonWay::StopTwice, AbandonWay::NoAnswer));

TEST_F(JobRunnerTest, RefusalsAndFailuresAreShownAndTheRunnerStaysUsable) {
    struct Case {
        std::function<void()> fail;
        QString title;
        QString text;
    };
    const QList<Case> cases = {
        {[] {
             throw JobEnded(JobEnded::Reason::Refused, QStringLiteral("Ошибка"),
                            QStringLiteral("Сначала разберите картинку."));
         },
         QStringLiteral("Ошибка"), QStringLiteral("Сначала разберите картинку.")},
        {[] {
             throw JobEnded(JobEnded::Reason::TimedOut, QString(), QStringLiteral("Нет ответа"));
         },
         QStringLiteral("Ошибка"), QStringLiteral("Нет ответа")},
        {[] { throw std::runtime_error("boom"); }, QStringLiteral("Ошибка"),
         QStringLiteral("Работа прервана из-за внутренней ошибки: boom")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        m_host.messages.clear();
        EXPECT_TRUE(m_runner.run(m_host, [&](JobHost&) { c.fail(); }));
        ASSERT_EQ(m_host.messages.size(), 1);
        EXPECT_EQ(m_host.messages[0].title, c.title);
        EXPECT_EQ(m_host.messages[0].text, c.text);
        EXPECT_FALSE(m_runner.busy());
    }
    EXPECT_EQ(m_busySignals.size(), 2 * cases.size());
}

TEST_F(JobRunnerTest, StopRequestsOutsideAJobAreIgnoredAndCloseRequestsNeverEscalate) {
    m_runner.requestStop();
    m_runner.requestStopForClose();
    EXPECT_EQ(m_runner.stopLevel(), StopLevel::None);

    QList<StopLevel> seen;
    m_runner.run(m_host, [&](JobHost& host) {
        m_runner.requestStopForClose();
        seen.append(host.stopLevel());
        m_runner.requestStopForClose();
        seen.append(host.stopLevel());
        m_runner.requestStop();
        seen.append(host.stopLevel());
        m_runner.requestStopForClose();
        seen.append(host.stopLevel());
    });
    EXPECT_EQ(seen, (QList<StopLevel>{StopLevel::Stop, StopLevel::Stop, StopLevel::Abandon,
                                      StopLevel::Abandon}));
    // The next job starts without the old request.
    StopLevel next = StopLevel::Abandon;
    m_runner.run(m_host, [&](JobHost& host) { next = host.stopLevel(); });
    EXPECT_EQ(next, StopLevel::None);
}

}  // namespace
