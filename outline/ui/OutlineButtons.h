#pragma once

#include <functional>
#include <optional>

#include "figures/ui/FigureWindow.h"
#include "link/protocol/JobLines.h"
#include "link/ui/JobContinuation.h"
#include "outline/OutlineJobs.h"

// The outlining window's own buttons in its control panel: "Градиент" and "Отступить" reshape
// the work layer with the 3 × 3 neighbourhood; "Выделенная", "Все" and "Грав-ть всё" run the
// outlining jobs; "Продолжить" goes on with one that did not end normally. The tool's position
// is the workspace's, so the window shows it during a job.
class OutlineButtons : public FigureJobButtons {
    Q_OBJECT
public:
    explicit OutlineButtons(FigureWindow& window);

    void Command4_Click() override;  // "Градиент"
    void Command5_Click() override;  // "Отступить"
    void Command2_Click() override;  // "Выделенная"
    void Command6_Click() override;  // "Все"
    void Command7_Click() override;  // "Грав-ть всё"
    // "Продолжить": the job that ended early, in the same session on the layers and figures it
    // started from, after a restart (offerJournal) on the window's picture as it stands.
    void Continue_Click();
    // "Начать с…" answered: "Все" (jobIndex 0) or "Грав-ть всё" from figure `figure`.
    void StartFrom_Click(int jobIndex, qint64 figure);
    void offerJournal(const JobJournalRecord& journal) override;

private:
    using OutlineJob = std::function<void(OutlineJobs&)>;
    // What a job started from, for "Продолжить".
    struct JobStart {
        OutlineJob job;
        QString words;  // "outline filled", as the batch command line names it
        FigureJobStart from;
    };
    void runOutlineJob(OutlineJob job, const QString& words, const WindowJobStart& start = {});
    // The job that the command words of a journal name ("outline filled"), if any.
    static std::optional<OutlineJob> jobOfWords(const QString& words);

    std::optional<JobStart> m_started;
    JobContinuation* m_continue;
};
