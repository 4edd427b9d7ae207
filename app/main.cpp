#include <QApplication>
#include <QCoreApplication>

#include "app/batch/BatchMain.h"
#include "app/ui/CloseOnSignal.h"
#include "app/ui/MDIForm1.h"
#include "app/ui/QtTranslations.h"
#include "link/MachineLink.h"

// With a command the program runs without windows and needs no display; without one it opens
// the main window.
int main(int argc, char** argv) {
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        return runBatch(QCoreApplication::arguments().mid(1));
    }
    QApplication app(argc, argv);
    installQtTranslations(app);
    MDIForm1 window(programMachineLink());
    closeOnTerminationSignals(window);
    window.show();
    return app.exec();
}
