#include "link/ui/WindowJobHost.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <functional>

#include "TestWindow.h"

namespace {

// Two working windows over one runner and a scripted port.
class WindowJobHostTest : public ScriptedPortTest<> {
protected:
    void SetUp() override {
        ScriptedPortTest::SetUp();
        m_first = std::make_unique<TestWindow>(m_runner);
        m_second = std::make_unique<TestWindow>(m_runner);
    }
    void TearDown() override {
        m_first.reset();
        m_second.reset();
        ScriptedPortTest::TearDown();
    }
    // The enabled job controls of both windows as the user sees them: "J" job button, "M" manual
    // move, "S" "Стоп"; "-" for each one disabled.
    QString controls() const {
        QString shown;
        for (const TestWindow* window : {m_first.get(), m_second.get()}) {
            shown += window->jobButton->isEnabled() ? 'J' : '-';
            shown += window->findChild<QPushButton*>("Command3")->isEnabled() ? 'M' : '-';
            shown += window->bar->stopButton()->isEnabled() ? 'S' : '-';
        }
        return shown;
    }

    std::unique_ptr<TestWindow> m_first;
    std::unique_ptr<TestWindow> m_second;
};

TEST_F(WindowJobHostTest, WhileAJobRunsEveryWindowsJobControlsAreOffAndComeBackAfter) {
    EXPECT_EQ(controls(), "JM-JM-");
    QString during;
    bool otherTaken = true;
    bool sameTaken = true;
    EXPECT_TRUE(m_first->host->runJob([&](JobHost&) {
        during = controls();
        otherTaken = m_second->host->runJob([](JobHost&) {});
        sameTaken = m_first->host->runJob([](JobHost&) {});
        // A click on the other window's disabled button starts nothing either.
        QTest::mouseClick(m_second->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    }));
    EXPECT_EQ(during, "--S---");  // only the job's own window can stop it
    EXPECT_FALSE(otherTaken);
    EXPECT_FALSE(sameTaken);
    EXPECT_TRUE(m_script->written.isEmpty());
    EXPECT_EQ(controls(), "JM-JM-");
}

// "Стоп" and Esc act only on the job of their own window: the first asks it to stop, the second
// abandons it.
TEST_F(WindowJobHostTest, StopButtonAndEscapeStopThenAbandonTheWindowsOwnJob) {
    m_first->show();
    m_first->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_first.get()));
    const std::function<void()> presses[] = {
        [this] { m_first->bar->stopButton()->click(); },
        [this] { QTest::keyClick(m_first->findChild<QLineEdit*>("tx"), Qt::Key_Escape); },
    };
    for (const auto& press : presses) {
        QList<StopLevel> seen;
        m_first->host->runJob([&](JobHost& host) {
            m_second->host->stopJob();  // the other window has nothing to stop
            seen << host.stopLevel();
            press();
            seen << host.stopLevel() << m_second->host->stopLevel();
            press();
            seen << host.stopLevel();
        });
        EXPECT_EQ(seen, (QList<StopLevel>{StopLevel::None, StopLevel::Stop, StopLevel::None,
                                          StopLevel::Abandon}));
    }
}

TEST_F(WindowJobHostTest, ProgressShowsWhatTheJobReports) {
    auto* bar = m_first->bar->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    m_first->host->runJob([&](JobHost& host) {
        host.reportProgress({3, 12, QStringLiteral("фигура 3 из 12")});
        EXPECT_EQ(bar->value(), 3);
        EXPECT_EQ(bar->maximum(), 12);
        EXPECT_EQ(m_first->bar->progressText(), QStringLiteral("фигура 3 из 12"));
        host.reportProgress({420, 0, QString()});  // no total known: a moving bar and the count
        EXPECT_EQ(bar->maximum(), 0);
        EXPECT_EQ(m_first->bar->progressText(), QStringLiteral("420"));
        host.reportProgress({5'000'000'000, 10'000'000'000, QStringLiteral("шаг")});
        EXPECT_NEAR(double(bar->value()) / bar->maximum(), 0.5, 1e-6);
        // Once "Стоп" is pressed, the hint that a second press abandons stays in view.
        m_first->bar->stopButton()->click();
        host.reportProgress({6, 12, QStringLiteral("фигура 6 из 12")});
        EXPECT_TRUE(m_first->bar->progressText().contains(QStringLiteral("ещё раз «Стоп»")));
        EXPECT_EQ(bar->value(), 6);
    });
    EXPECT_GT(bar->maximum(), 0);  // at rest after the job
    EXPECT_EQ(m_first->bar->progressText(), QStringLiteral("Работа остановлена"));
}

// Once a job is over its times line says how it ended instead of a time left; the other
// window's line is left as it was.
TEST_F(WindowJobHostTest, TimesLineSaysHowTheJobEnded) {
    const struct {
        std::function<void(JobHost&)> job;
        const char* ending;
    } cases[] = {
        {[](JobHost&) {}, "работа закончена"},
        {[this](JobHost&) { m_first->bar->stopButton()->click(); }, "работа остановлена"},
        {[](JobHost&) {
             throw JobEnded(JobEnded::Reason::Stopped, std::nullopt, QStringLiteral("стоп"));
         },
         "работа остановлена"},
        {[](JobHost&) { throw JobEnded(JobEnded::Reason::Abandoned, std::nullopt, "прервана"); },
         "работа прервана"},
        {[](JobHost&) { throw JobEnded(JobEnded::Reason::TimedOut, std::nullopt, "нет ответа"); },
         "работа прервана из-за ошибки"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        m_first->host->runJob([&](JobHost& host) {
            host.reportProgress({3, 12, QStringLiteral("фигура 3 из 12")});
            c.job(host);
        });
        EXPECT_TRUE(m_first->bar->timesText().startsWith(QStringLiteral("прошло 0:")));
        EXPECT_TRUE(m_first->bar->timesText().endsWith(QString::fromUtf8(c.ending)))
            << qPrintable(m_first->bar->timesText());
        EXPECT_FALSE(m_first->bar->timesText().contains(QStringLiteral("осталось")));
        EXPECT_TRUE(m_second->bar->timesText().isEmpty());
    }
}

TEST_F(WindowJobHostTest, OtherWindowsCloseAtOnceWhileAJobRuns) {
    m_first->show();
    m_second->show();
    m_first->host->runJob([&](JobHost&) {
        m_second->close();
        EXPECT_FALSE(m_second->isVisible());
        EXPECT_EQ(m_runner.stopLevel(), StopLevel::None);
    });
    EXPECT_EQ(m_second->unloads, 1);
    EXPECT_EQ(m_first->unloads, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_first->isVisible());  // no close was put off
}

}  // namespace
