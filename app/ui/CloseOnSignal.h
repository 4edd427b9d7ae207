#pragma once

class QWidget;

// SIGTERM and SIGHUP (what a desktop's log-out and a closed terminal send) close `window` as
// the user's close does: a running job is stopped safely first, as "Стоп" does, then the
// windows write their settings and the port is closed (see MDIForm1::closeEvent). The signal
// only wakes the event loop; the close itself runs there, also inside a job's waits. Call once,
// for the main window, which must outlive the program's event loop.
void closeOnTerminationSignals(QWidget& window);
