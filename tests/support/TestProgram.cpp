#include "tests/support/TestProgram.h"

#include <QTemporaryDir>

Program& testProgram() {
    static QTemporaryDir folder;
    static Program program(folder.filePath(QStringLiteral("cnc.ini")));
    return program;
}
