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
#include "mill/MillJobs.h"

int runMillCommand(const BatchCommandLine& commandLine) {
    const QStringList& arguments = commandLine.arguments;
    const QStringList modes = {QStringLiteral("selected"), QStringLiteral("all"),
                               QStringLiteral("3d")};
    if (arguments.size() != 2 || !modes.contains(arguments[0])) {
        return badCommandLine(QStringLiteral("команде mill нужны selected|all|3d и картинка"));
    }
    const BatchOptions& options = commandLine.options;
    PictureLoadResult picture = loadPictureLayers(arguments[1]);
    if (picture.status != PictureLoadStatus::Loaded) {
        printError(picture.message + u'\n');
        return kExitFailed;
    }
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    CutterSize cutterSize;
    ToolPosition tool;

    BatchJobHost host(options);
    host.setField(JobField::FinishedWidth, options.width.value_or(kMillWidthKey.read()));
    host.setField(JobField::Depth, options.depth.value_or(kMillDepthKey.read()));
    host.setField(JobField::Diameter, options.diameter.value_or(kMillDiameterKey.read()));

    const QString mode = arguments[0];
    host.setJobTitle(QStringLiteral("фрезерование (mill %1), картинка %2")
                         .arg(mode, QFileInfo(arguments[1]).fileName()));
    return runBatchJobWithPreview(
        options, host, layers.CutterLayer, [&](JobHost& jobHost, MachineLink& link) {
            MoveProtocol protocol(MoveWindow::Milling, jobHost, link);
            MillJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis,
                           cutterSize, tool},
                          jobHost, protocol);
            if (mode == u"selected") {
                jobs.MillSelected(selectedFigure(options, analysis));
            } else if (mode == u"all") {
                jobs.MillAll();
            } else {
                jobs.Cut3D();
            }
        });
}
