#pragma once

#include <functional>
#include <optional>

#include "figures/ui/FigureWindow.h"
#include "link/protocol/JobLines.h"
#include "outline/OutlineJobs.h"

class JobContinuation;

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
    // "Продолжить": the last job that ended early, on the layers and figures it started from.
    void Continue_Click();

private:
    using OutlineJob = std::function<void(OutlineJobs&)>;
    // What a job started from, for "Продолжить".
    struct JobStart {
        OutlineJob job;
        QString words;  // "outline filled", as the batch command line names it
        PictureLayers layers;
        FigureAnalysis analysis;
        ToolPosition tool;
    };
    void runOutlineJob(OutlineJob job, const QString& words,
                       std::optional<ResumeStart> resume = std::nullopt);

    std::optional<JobStart> m_started;
    JobContinuation* m_continue;
};
