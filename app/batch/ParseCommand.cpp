#include <QFile>

#include "app/batch/BatchCommands.h"
#include "app/batch/BatchOutput.h"
#include "figures/FigureAnalysis.h"
#include "figures/FigureReport.h"
#include "figures/PictureLayers.h"
#include "link/protocol/ProgramContext.h"

int runParseCommand(const BatchCommandLine& commandLine, ProgramContext&) {
    if (commandLine.arguments.size() != 1) {
        return badCommandLine(QStringLiteral("команде parse нужна одна картинка"));
    }
    const PictureLoadResult picture = loadPictureLayers(commandLine.arguments[0]);
    if (picture.status != PictureLoadStatus::Loaded) {
        printError(picture.message + u'\n');
        return kExitFailed;
    }
    const FigureAnalysis analysis = ParseFigures(picture.layers.WorkLayer);
    printOut(QString::fromUtf8(figureReport(analysis)));

    const QString& labelsPath = commandLine.options.labels;
    if (labelsPath.isEmpty()) return kExitDone;
    QFile labels(labelsPath);
    if (!labels.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !writeLabelGrid(analysis.labels, labels) || !labels.flush()) {
        printError(
            QStringLiteral("Не удалось записать %1: %2\n").arg(labelsPath, labels.errorString()));
        return kExitFailed;
    }
    return kExitDone;
}
