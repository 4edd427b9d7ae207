#pragma once

#include <QObject>

#include "link/JobRunner.h"
#include "link/MoveProtocol.h"

class JobBar;
class ManualPanel;
class QWidget;
class WindowJobHost;

// Everything that connects one working window to the machine: its job host, its own
// MoveProtocol, its manual positioning panel and its job bar ("Стоп" and the progress). The
// window places the panel and the bar in its layout, shows the port status in its Form_Load,
// registers its size fields and job buttons with host(), and asks host().readyToClose() in its
// closeEvent.
class WindowLink : public QObject {
    Q_OBJECT
public:
    // `kind` selects the window's move rules; the captions are those of the panel's frame and of
    // its output check box. `runner` outlives the window.
    WindowLink(QWidget* window, MoveWindow kind, const QString& frameCaption,
               const QString& outputCaption, JobRunner& runner = programJobRunner());

    WindowJobHost& host() const { return *m_host; }
    MoveProtocol& protocol() { return m_protocol; }
    ManualPanel* panel() const { return m_panel; }
    JobBar* jobBar() const { return m_jobBar; }

private:
    WindowJobHost* m_host;
    MoveProtocol m_protocol;
    ManualPanel* m_panel;
    JobBar* m_jobBar;
};
