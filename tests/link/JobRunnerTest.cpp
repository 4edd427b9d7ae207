#include "link/job/JobRunner.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ReplyWait.h"
#include "link/serial/SerialDriver.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestProgram.h"

namespace {

const QByteArray kOk = "OK\r\n";

struct Message {
    MessageTitle title;
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
    void showMessage(const MessageTitle& title, const QString& text) override {
        messages.append({title, text});
    }
    QList<Message> messages;

private:
    JobRunner& m_runner;
};

// A job in the manner of the milling jobs: plunge, a line per step, lift; asked to stop, it lifts
// the tool back to the surface and ends.
void scriptedJob(JobHost& host, int steps) {
    MoveProtocol protocol(MoveRules::Milling, host, testProgram().link,
                          testProgram().settings.values());
    protocol.sendLine(0, 0, 50, true);
    for (int step = 0; step < steps; ++step) {
        if (host.stopLevel() != StopLevel::None) {
            protocol.sendLine(0, 0, -50, true);
            throw JobEnded(JobEnded::Reason::Stopped, kStopTitle,
                           QStringLiteral("Работа остановлена. Фреза поднята к поверхности."));
        }
        protocol.sendLine(1, 0, 0, true);
    }
    protocol.sendLine(0, 0, -50, true);
}

class JobRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testProgram().settings.values() = ProgramSettings{};
        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<ScriptedTransport>(m_script)));
        QObject::connect(&m_runner, &JobRunner::busyChanged,
                         [this](bool busy) { m_busySignals.append(busy); });
    }
    void TearDown() override {
        testProgram().link.close();
        testProgram().settings.values() = ProgramSettings{};
    }
    // Runs the scripted job in m_host and says whether the runner took it.
    bool runScripted(int steps) {
        return m_runner.run(m_host, [steps](JobHost& host) { scriptedJob(host, steps); });
    }

    std::shared_ptr<PortScript> m_script = std::make_shared<PortScript>();
    JobRunner m_runner;
    RunnerHost m_host{m_runner};
    QList<bool> m_busySignals;
};

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
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"0,0,50;", "1,0,0;", "1,0,0;", "0,0,-50;"}));
    EXPECT_EQ(nestedTaken, (QList<bool>{false, false}));
    EXPECT_FALSE(nestedStarted);
    EXPECT_TRUE(m_host.messages.isEmpty());
    EXPECT_TRUE(other.messages.isEmpty());
    // The buttons come back: the runner is idle again, and the other window may run its own job.
    EXPECT_EQ(m_busySignals, (QList<bool>{true, false}));
    EXPECT_EQ(m_runner.currentHost(), nullptr);
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
    EXPECT_EQ(m_host.messages[0].title, kStopTitle);
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
        if (m_runner.stopLevel() == StopLevel::None || GetParam() == AbandonWay::StopTwice)
            m_runner.requestStop();
    };
    EXPECT_TRUE(runScripted(10));
    EXPECT_EQ(m_script->written, (QList<QByteArray>{"0,0,50;", "1,0,0;"}));
    ASSERT_EQ(m_host.messages.size(), 1);
    const Message& shown = m_host.messages[0];
    EXPECT_EQ(shown.title, kErrorTitle);
    EXPECT_TRUE(shown.text.contains(QStringLiteral("Инструмент может остаться опущенным")))
        << qPrintable(shown.text);
    if (GetParam() == AbandonWay::NoAnswer) {
        // The wait gave the controller its time after "Стоп", and not much more: `now` is the
        // fake host's clock, which only its sleepMs moves, so this is exact, not a measurement.
        EXPECT_TRUE(shown.text.contains(QStringLiteral("не ответил"))) << qPrintable(shown.text);
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
    const QList<std::pair<std::function<void()>, QString>> cases = {
        // A message without a title is shown as an error.
        {[] {
             throw JobEnded(JobEnded::Reason::TimedOut, std::nullopt, QStringLiteral("Нет ответа"));
         },
         QStringLiteral("Нет ответа")},
        {[] { throw std::runtime_error("boom"); },
         QStringLiteral("Работа прервана из-за внутренней ошибки: boom")},
    };
    for (const auto& [fail, text] : cases) {
        SCOPED_TRACE(text.toStdString());
        m_host.messages.clear();
        EXPECT_TRUE(m_runner.run(m_host, [&](JobHost&) { fail(); }));
        ASSERT_EQ(m_host.messages.size(), 1);
        EXPECT_EQ(m_host.messages[0].title, kErrorTitle);
        EXPECT_EQ(m_host.messages[0].text, text);
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
        for (const bool close : {true, true, false, true}) {
            close ? m_runner.requestStopForClose() : m_runner.requestStop();
            seen.append(host.stopLevel());
        }
    });
    EXPECT_EQ(seen, (QList<StopLevel>{StopLevel::Stop, StopLevel::Stop, StopLevel::Abandon,
                                      StopLevel::Abandon}));
    // The next job starts without the old request.
    StopLevel next = StopLevel::Abandon;
    m_runner.run(m_host, [&](JobHost& host) { next = host.stopLevel(); });
    EXPECT_EQ(next, StopLevel::None);
}

}  // namespace
