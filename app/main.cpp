#include <QApplication>
#include <QCoreApplication>

#include "app/Program.h"
#include "app/batch/BatchMain.h"
#include "app/config/Config.h"
#include "app/config/ProgramFiles.h"
#include "app/ui/CloseOnSignal.h"
#include "app/ui/MDIForm1.h"
#include "app/ui/QtTranslations.h"

// With a command the program runs without windows and needs no display; without one it opens
// the main window over the program's parts, made here once.
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
    Program program(DefaultConfigPath());
    MDIForm1 window(program.context());
    closeOnTerminationSignals(window);
    window.show();
    return app.exec();
}
