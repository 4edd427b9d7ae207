#include "link/ui/WindowLink.h"

#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"

WindowLink::WindowLink(QWidget* window, MoveWindow kind, const QString& frameCaption,
                       const QString& outputCaption, JobRunner& runner)
    : QObject(window),
      m_host(new WindowJobHost(window, runner)),
      m_protocol(kind, *m_host),
      m_panel(new ManualPanel(frameCaption, outputCaption, *m_host, m_protocol, window)),
      m_jobBar(new JobBar(window)) {
    m_host->setJobBar(m_jobBar);
}
