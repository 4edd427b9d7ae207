#pragma once

#include <QWidget>
#include <array>

#include "figures/FigureJobStart.h"
#include "figures/ui/FigureWorkspace.h"
#include "link/ui/WorkingWindow.h"

class FigureJobButtons;
class QPushButton;

// The base of the milling and outlining windows: a working window whose picture area is a
// figure workspace. The workspace is handed to the window's job host (the finished-width field,
// the redraw of the layers, the tree rebuilt after a job parsed again; "..." and "Разобрать"
// disabled while any job runs, since they replace what a job works on), and its tool is the one
// the window's jobs move, so the panel's status line shows the pixel the tool stands over
// during a job too.
class FigureWindow : public WorkingWindow {
    Q_OBJECT
public:
    FigureWorkspace& workspace() const { return *m_workspace; }

    // The journal's fields and job go to the job buttons; its picture is loaded and parsed.
    void offerJournal(const JobJournalRecord& journal) override;

protected:
    // `program` outlives the window.
    FigureWindow(const WorkingWindowSetup& window, const FigureWindowSetup& figures,
                 ProgramContext& program, QWidget* parent);

    // Puts the window's job buttons into the control panel, "Стоп" and the progress right under
    // them (where the eye is during a job) and the manual panel below.
    void addJobButtons(FigureJobButtons* buttons);

    void loadPictureKey(const ConfigKey& key) override;

private:
    FigureWorkspace* m_workspace;
    FigureJobButtons* m_buttons = nullptr;
};

// The five buttons of a figure window's control panel: "Градиент" (Command4) and "Отступить"
// (Command5) reshape the work layer; the three jobs (Command2, Command6, Command7) run through
// the window's job host. They are disabled while any job of the program runs.
class FigureJobButtons : public QWidget {
    Q_OBJECT
public:
    struct Button {
        QString caption;
        QString hint;  // the tooltip; none when empty
    };
    // The window's click handlers, by the buttons' names.
    virtual void Command4_Click() = 0;
    virtual void Command5_Click() = 0;
    virtual void Command2_Click() = 0;
    virtual void Command6_Click() = 0;
    virtual void Command7_Click() = 0;
    // A journal of the window's job found at start-up: its fields go into the window's boxes
    // and "Продолжить" offers to go on with it.
    virtual void offerJournal(const JobJournalRecord& journal) = 0;

protected:
    // `buttons`: Command4, Command5, Command2, Command6, Command7 in this order.
    FigureJobButtons(FigureWindow& window, const std::array<Button, 5>& buttons);

    FigureWindow& window() const { return m_window; }
    FigureWorkspace& workspace() const { return m_window.workspace(); }
    // What a job would start from now, and putting such a start back into the workspace (the
    // tree and the pictures follow).
    FigureJobStart jobStartNow() const;
    void restoreJobStart(const FigureJobStart& start);

private:
    FigureWindow& m_window;
};
