#include <QSerialPortInfo>

#include "app/batch/BatchCommands.h"
#include "app/batch/BatchOutput.h"
#include "link/protocol/ProgramContext.h"

int runPortsCommand(const BatchCommandLine& commandLine, ProgramContext&) {
    if (!commandLine.arguments.isEmpty()) {
        return badCommandLine(
            QStringLiteral("лишний аргумент команды ports: %1").arg(commandLine.arguments.first()));
    }
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        printOut(QStringLiteral("%1\t%2\n").arg(port.portName(), port.description()));
    }
    return kExitDone;
}
