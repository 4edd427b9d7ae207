#include "app/batch/BatchCommands.h"
#include "app/batch/BatchOutput.h"
#include "app/batch/PictureJobCommand.h"
#include "app/config/AtomicFile.h"
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
        printError(pictureLoadFailure(commandLine.arguments[0], picture.status, picture.message) +
                   u'\n');
        return kExitFailed;
    }
    const FigureAnalysis analysis = ParseFigures(picture.layers.WorkLayer);
    printOut(QString::fromUtf8(figureReport(analysis)));

    const QString& labelsPath = commandLine.options.labels;
    if (labelsPath.isEmpty()) return kExitDone;
    AtomicFile labels(labelsPath);
    if (labels.open()) {
        if (!writeLabelGrid(analysis.labels, labels.device()))
            labels.abandon(QStringLiteral("ошибка записи"));
        else if (labels.commit())
            return kExitDone;
    }
    printError(labels.errorMessage() + u'\n');
    return kExitFailed;
}
