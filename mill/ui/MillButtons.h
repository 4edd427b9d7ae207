#pragma once

#include <functional>
#include <optional>

#include "figures/ui/FigureWindow.h"
#include "link/protocol/JobLines.h"
#include "link/ui/JobContinuation.h"
#include "mill/CutterGeometry.h"
#include "mill/MillJobs.h"
#include "mill/WorkLayerOps.h"

class SurfaceMapPanel;

// The milling window's own buttons in its control panel: "Градиент" and "Отступить" reshape the
// work layer by the cutter's size; "Выделенная", "Все" and "Резать 3D" run the milling jobs. It
// keeps the cutter size the jobs leave behind between them; the tool's position is the
// workspace's.
class MillButtons : public FigureJobButtons {
    Q_OBJECT
public:
    explicit MillButtons(FigureWindow& window);
    // The window's surface map, which the jobs follow when its box is ticked (not owned).
    void setSurfacePanel(const SurfaceMapPanel* panel) { m_surface = panel; }

    void Command4_Click() override;  // "Градиент"
    void Command5_Click() override;  // "Отступить"
    void Command2_Click() override;  // "Выделенная"
    void Command6_Click() override;  // "Все"
    void Command7_Click() override;  // "Резать 3D"

    // "Продолжить": goes on with the job that did not end normally from the first line the
    // machine was not sent: in the same session on the layers and figures it started from,
    // after a restart (offerJournal) on the window's picture as it stands.
    void Continue_Click();
    // "Начать с…" answered: "Все" from figure `figure` of the tree.
    void StartFrom_Click(qint64 figure);
    // A journal found at start-up, of a milling job: its fields go into the window's boxes and
    // "Продолжить" offers to go on with it (the picture is the window's to load).
    void offerJournal(const JobJournalRecord& journal) override;

private:
    using MillJob = std::function<void(MillJobs&)>;
    // What a job started from, for "Продолжить".
    struct JobStart {
        MillJob job;
        QString words;  // "mill all", as the batch command line names it
        FigureJobStart from;
    };

    // Runs one of the milling jobs on the window's layers and figures from `start`; going on
    // from the journal with the job of m_started, on what it started from.
    void runMillJob(MillJob job, const QString& words, const WindowJobStart& start = {});
    // The job that the command words of a journal name ("mill all"), if any.
    static std::optional<MillJob> jobOfWords(const QString& words);
    // Redraws after "Градиент" or "Отступить"; a refusal is shown and its field focused.
    void afterWorkLayerChanged(const WorkLayerOutcome& outcome);

    CutterSize m_cutter;  // CutterRadius and CutterReach of the last gradient or job
    const SurfaceMapPanel* m_surface = nullptr;
    std::optional<JobStart> m_started;
    JobContinuation* m_continue;
};
