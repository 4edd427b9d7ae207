#include <QFileInfo>

#include "app/ConfigKeys.h"
#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/batch/FigureCommandSupport.h"
#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "link/MachineLink.h"
#include "link/MoveProtocol.h"
#include "outline/OutlineJobs.h"

int runOutlineCommand(const BatchCommandLine& commandLine) {
    const QStringList& arguments = commandLine.arguments;
    const QStringList modes = {QStringLiteral("selected"), QStringLiteral("all"),
                               QStringLiteral("filled")};
    if (arguments.size() != 2 || !modes.contains(arguments[0])) {
        return badCommandLine(
            QStringLiteral("команде outline нужны selected|all|filled и картинка"));
    }
    const BatchOptions& options = commandLine.options;
    PictureLoadResult picture = loadPictureLayers(arguments[1]);
    if (picture.status != PictureLoadStatus::Loaded) {
        printError(picture.message + u'\n');
        return kExitFailed;
    }
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    ToolPosition tool;

    // The outlining window has no depth or diameter field: --depth and --diameter are ignored.
    BatchJobHost host(options);
    host.setField(JobField::FinishedWidth, options.width.value_or(kOutlineWidthKey.read()));

    const QString mode = arguments[0];
    host.setJobTitle(QStringLiteral("обведение лазером (outline %1), картинка %2")
                         .arg(mode, QFileInfo(arguments[1]).fileName()));
    return runBatchJobWithPreview(
        options, host, layers.CutterLayer, [&](JobHost& jobHost, MachineLink& link) {
            MoveProtocol protocol(MoveWindow::Outlining, jobHost, link);
            OutlineJobs jobs(
                {layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, tool}, jobHost,
                protocol);
            if (mode == u"selected") {
                jobs.EngraveSelected(selectedFigure(options, analysis));
            } else if (mode == u"all") {
                jobs.EngraveAllBorders();
            } else {
                jobs.EngraveAllFilled();
            }
        });
}
