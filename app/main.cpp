#include <QApplication>
#include <QCoreApplication>

#include "app/Config.h"
#include "app/ProgramFiles.h"
#include "app/batch/BatchMain.h"
#include "app/ui/MDIForm1.h"
#include "app/ui/QtTranslations.h"
#include "link/MachineLink.h"

// With a command the program runs without windows and needs no display; without one it opens
// the main window.
int main(int argc, char** argv) {
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        setProgramFiles(ChooseProgramFiles(ThisProgramPlace()));
        return runBatch(QCoreApplication::arguments().mid(1));
    }
    QApplication app(argc, argv);
    setProgramFiles(ChooseProgramFiles(ThisProgramPlace()));
    CreateProgramConfigFile();
    installQtTranslations(app);
    MDIForm1 window(programMachineLink());
    window.show();
    return app.exec();
}
