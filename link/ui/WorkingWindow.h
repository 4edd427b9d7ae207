#pragma once

#include <QWidget>

#include "app/config/ConfigKeys.h"
#include "link/job/JobRunner.h"
#include "link/protocol/JobJournal.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"

class JobBar;
class ManualPanel;
class QHBoxLayout;
class QVBoxLayout;
class WindowJobHost;

// What differs between the working windows at their base.
struct WorkingWindowSetup {
    MoveRules rules;       // the window's move rules
    QString frameCaption;  // the manual panel's frame: "Настройка", "Установка …"
    QString outputCaption;  // Check1: "Фрезеровать", "Сканировать", "Гравировать"
    const WindowKeys& keys;       // what Form_Load reads and Form_Unload writes
    bool portStatusLast = false;  // the scanner takes the port status after its keys
};

// The base of the four working windows (milling, scanner, engraving, outlining): what they
// share, so that each window holds only what is its own.
//
// - Keys: Form_Load reads the window's load keys, in their order, each into the window's text
//   box named by the key (ConfigKeys.h) or its check box ("1" ticks it), the picture key through
//   loadPictureKey(); Form_Unload writes the unload keys from their boxes ("1" or "0"). The port
//   status is shown first (or last, see WorkingWindowSetup) and from then on follows the machine
//   link.
// - Closing: a window closed while its own job runs asks the job to stop and closes when it
//   has ended; Form_Unload runs only when it really closes.
// - Machine: host() is the job host, protocol() the window's own move protocol over the link,
//   panel() the manual positioning panel, jobBar() the job strip ("Стоп", progress, times).
// - Layout: a picture area that grows (setPictureArea) beside a column of fixed width at the
//   right (columnLayout(): the window's controls, then the panel and the job strip, added by
//   the base). A figure window brings its own column: it passes its workspace as the picture
//   area and puts panel() and jobBar() into that column itself (then columnLayout() is never
//   called and takes no room).
//
// A window derives from it, builds its controls and calls Form_Load() at the end of its
// constructor.
class WorkingWindow : public QWidget {
    Q_OBJECT
public:
    // The width of the control column, in pixels (wider only where a window's own controls
    // need more).
    static int columnWidth();

    // `program` outlives the window.
    WorkingWindow(const WorkingWindowSetup& setup, ProgramContext& program,
                  QWidget* parent = nullptr);

    WindowJobHost& host() const { return *m_host; }
    MoveProtocol& protocol() { return m_protocol; }
    MachineLink& link() const { return m_program.link; }
    ProgramContext& program() const { return m_program; }
    ManualPanel* panel() const { return m_panel; }
    JobBar* jobBar() const { return m_jobBar; }

    // A journal found at start-up names a job of this window (its "window" entry): the window
    // takes the journal's picture and fields and offers "Продолжить".
    virtual void offerJournal(const JobJournalRecord& journal) = 0;

protected:
    void Form_Load();
    void Form_Unload();
    // Form_Load's step for the window's picture key: by default the key is read into its text
    // box like the others; a window that shows its picture loads it here.
    virtual void loadPictureKey(const ConfigKey& key);

    // The picture area, left of the column; it takes all the room the column leaves. A window
    // without one is as wide as its column.
    void setPictureArea(QWidget* area);
    // The column's layout for the window's own controls (above the panel and the job strip).
    QVBoxLayout* columnLayout();

    void closeEvent(QCloseEvent* event) override;

private:
    // The window, its picture and its stored fields, for the header of a written job.
    QString jobDescription() const;

    WorkingWindowSetup m_setup;
    ProgramContext& m_program;
    WindowJobHost* m_host;
    MoveProtocol m_protocol;
    ManualPanel* m_panel;
    JobBar* m_jobBar;
    QHBoxLayout* m_layout;
    QWidget* m_column = nullptr;
    QVBoxLayout* m_columnLayout = nullptr;
};
