#pragma once

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <optional>

#include "link/protocol/JobJournal.h"
#include "tests/support/ScriptedJob.h"

// What a window's job stopped (and continued) on a scripted controller sent and showed.
struct StoppedAndContinued {
    QList<QByteArray> written;
    int done = 0;    // the job's lines the journal counts as carried out at the stop
    int atStop = 0;  // lines written when the stopped job had ended
    bool shownAfterStop = false;
    bool hiddenAfterEnd = false;
    bool journalRemoved = false;
    QString job, picture;  // what the journal named
};

// The job of `start` on a scripted controller that answers every line, "Стоп" pressed once
// `stopAt` lines or more were written; the port is left open. What was sent and what the
// journal named.
inline StoppedAndContinued stopWithoutContinuing(QWidget& form, QPushButton& start, int stopAt,
                                                 std::shared_ptr<PortScript> script = nullptr) {
    Program& program = testProgram();
    if (!script) {
        script = std::make_shared<PortScript>();
        script->perLine = {"OK\r\n"};
        program.link.adopt(program.driver.attach(std::make_unique<ScriptedTransport>(script)));
    }
    form.findChild<QCheckBox*>("Check1")->setChecked(true);
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (script->written.size() < stopAt) return;
        form.findChild<QPushButton*>("StopButton")->click();
        stopper.stop();
    });
    stopper.start(0);
    start.click();
    stopper.stop();
    StoppedAndContinued result;
    result.shownAfterStop = !form.findChild<QPushButton*>("ContinueButton")->isHidden();
    const QString path = journalPathFor(program.config.ConfigPath());
    if (const std::optional<JobJournalRecord> journal = readJobJournal(path)) {
        result.done = int(journal->jobLines);
        result.job = journal->value(QStringLiteral("job"));
        result.picture = journal->value(QStringLiteral("picture"));
    }
    result.atStop = int(script->written.size());
    result.written = script->written;
    return result;
}

inline StoppedAndContinued stopAndContinue(QWidget& form, QPushButton& start, int stopAt) {
    Program& program = testProgram();
    auto script = std::make_shared<PortScript>();
    script->perLine = {"OK\r\n"};
    program.link.adopt(program.driver.attach(std::make_unique<ScriptedTransport>(script)));
    StoppedAndContinued result = stopWithoutContinuing(form, start, stopAt, script);
    auto* continueButton = form.findChild<QPushButton*>("ContinueButton");
    continueButton->click();
    result.hiddenAfterEnd = continueButton->isHidden();
    result.journalRemoved = !QFile::exists(journalPathFor(program.config.ConfigPath()));
    result.written = script->written;
    program.link.close();
    return result;
}

// The lines of `run` with the joining lines (after the stop, before the rest of the job) left
// out, for a job whose uninterrupted run sends `expected`.
inline QList<QByteArray> withoutTheJoin(const StoppedAndContinued& run,
                                        const QList<QByteArray>& expected) {
    const int rest = int(expected.size()) - run.done;
    if (run.written.size() < run.atStop + rest) return run.written;
    return run.written.mid(0, run.done) + run.written.mid(run.written.size() - rest);
}
