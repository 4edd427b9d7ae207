#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/batch/PictureJobCommand.h"
#include "app/batch/SurfaceOption.h"
#include "app/config/ConfigKeys.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"
#include "mill/FigureJobJournal.h"
#include "mill/MillJobs.h"

int runMillCommand(const BatchCommandLine& commandLine, ProgramContext& program) {
    const QStringList& arguments = commandLine.arguments;
    const QStringList modes = {QStringLiteral("selected"), QStringLiteral("all"),
                               QStringLiteral("3d")};
    if (const auto refused = refuseModeWords(QStringLiteral("mill"), arguments, modes))
        return *refused;
    const BatchOptions& options = commandLine.options;
    const SurfaceChoice surface =
        readSurfaceOption(options, program.settings.values().ProbeScaleMm);
    if (surface.exitStatus != kExitDone) return surface.exitStatus;
    std::optional<FigurePicture> picture =
        loadFigurePicture(arguments[1], options, arguments[0] == u"selected");
    if (!picture) return kExitFailed;
    PictureLayers& layers = picture->layers;
    CutterSize cutterSize;
    ToolPosition tool;

    BatchJobHost host(options, program.settings.values());
    host.setField(JobField::FinishedWidth,
                  options.width.value_or(kMillWidthKey.read(program.config)));
    host.setField(JobField::Depth, options.depth.value_or(kMillDepthKey.read(program.config)));
    host.setField(JobField::Diameter,
                  options.diameter.value_or(kMillDiameterKey.read(program.config)));

    const QString mode = arguments[0];
    setPictureJobTitle(host, QStringLiteral("фрезерование (mill %1)").arg(mode), arguments[1]);
    setPictureJournal(host, program, QStringLiteral("mill"),
                      jobWords(QStringLiteral("mill"), mode, options), arguments[1],
                      layers.SourceLayer, figureJobEntries(layers, picture->analysis, tool));
    return runBatchJobWithPreview(
        program, options, host, MoveRules::Milling, layers.CutterLayer,
        [&](JobHost& jobHost, MoveProtocol& protocol) {
            MillJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer,
                           picture->analysis, cutterSize, tool},
                          jobHost, protocol);
            if (surface.map) jobs.followSurface(&*surface.map, surface.startMm);
            if (mode == u"selected") {
                jobs.MillSelected(selectedFigure(options, picture->analysis));
            } else if (mode == u"all") {
                jobs.MillAll();
            } else {
                jobs.Cut3D();
            }
        });
}
