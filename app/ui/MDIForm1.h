#pragma once

#include <QMainWindow>
#include <QPointer>

struct JobJournalRecord;
struct ProgramContext;
class QMdiArea;
class QMdiSubWindow;

// The main window: holds the working windows as child windows and opens them from its menu.
// It loads the program-wide settings and opens the port through the machine link when created,
// and closes the child windows and then the port when it closes.
class MDIForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs MDIForm_Load; `program` (the program's parts, or a test's with
    // fake port functions) outlives the window and is handed to every child window.
    explicit MDIForm1(ProgramContext& program, QWidget* parent = nullptr);

    // What start-up has to tell the user about the stored settings (shown once in a message box
    // when the window is first shown); empty when they were fine.
    const QString& startupWarning() const { return m_startupWarning; }

    // The area that holds the child windows.
    QMdiArea* mdiArea() const { return m_mdiArea; }

    // Opens the working window of the journal's job with the journal's picture and fields,
    // offering "Продолжить".
    void openJournalWindow(const JobJournalRecord& journal);

protected:
    void showEvent(QShowEvent* event) override;
    // Closes the child windows (each writes its settings), then runs MDIForm_Unload. While a job
    // runs, its window stops the job first; the main window then closes once the job has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    void MDIForm_Load();
    // A journal left by a job that did not end ("cnc.journal"): a box (UnfinishedJobBox) names
    // the job and offers to open its window; nothing is sent to the machine by that.
    void offerUnfinishedJob();
    void MDIForm_Unload();
    void mill_cl_Click();
    void scanner_cl_Click();
    void etching_cl_Click();
    void etching2_cl_Click();
    void settings_cl_Click();
    void buildMenu();
    // Creates the child window on first use, afterwards only brings it to the front; focuses it.
    template <class Form>
    void showChild(QPointer<QMdiSubWindow>& window);

    QMdiArea* m_mdiArea;
    ProgramContext& m_program;
    QString m_startupWarning;
    bool m_closeAfterJob = false;  // closing waits for a job to stop
    bool m_warningShown = false;
    QPointer<QMdiSubWindow> m_form1;
    QPointer<QMdiSubWindow> m_form2;
    QPointer<QMdiSubWindow> m_form3;
    QPointer<QMdiSubWindow> m_form4;
    QPointer<QMdiSubWindow> m_form5;
};
