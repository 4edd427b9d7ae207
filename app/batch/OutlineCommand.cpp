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
#include "outline/OutlineJobs.h"

int runOutlineCommand(const BatchCommandLine& commandLine, ProgramContext& program) {
    const QStringList& arguments = commandLine.arguments;
    const QStringList modes = {QStringLiteral("selected"), QStringLiteral("all"),
                               QStringLiteral("filled")};
    if (const auto refused = refuseModeWords(QStringLiteral("outline"), arguments, modes))
        return *refused;
    const BatchOptions& options = commandLine.options;
    const SurfaceChoice surface =
        readSurfaceOption(options, program.settings.values().ProbeScaleMm);
    if (surface.exitStatus != kExitDone) return surface.exitStatus;
    std::optional<FigurePicture> picture =
        loadFigurePicture(arguments[1], options, arguments[0] == u"selected");
    if (!picture) return kExitFailed;
    PictureLayers& layers = picture->layers;
    ToolPosition tool;

    // The outlining window has no depth or diameter field: --depth and --diameter are ignored.
    BatchJobHost host(options, program.settings.values());
    host.setField(JobField::FinishedWidth,
                  options.width.value_or(kOutlineWidthKey.read(program.config)));

    const QString mode = arguments[0];
    setPictureJobTitle(host, QStringLiteral("обведение лазером (outline %1)").arg(mode),
                       arguments[1]);
    setPictureJournal(host, program, QStringLiteral("outline"),
                      jobWords(QStringLiteral("outline"), mode, options), arguments[1],
                      layers.SourceLayer, figureJobEntries(layers, picture->analysis, tool));
    return runBatchJobWithPreview(
        program, options, host, MoveRules::Outlining, layers.CutterLayer,
        [&](JobHost& jobHost, MoveProtocol& protocol) {
            OutlineJobs jobs(
                {layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, picture->analysis, tool},
                jobHost, protocol);
            if (surface.map) jobs.followSurface(&*surface.map, surface.startMm);
            if (mode == u"selected") {
                jobs.EngraveSelected(selectedFigure(options, picture->analysis));
            } else if (mode == u"all") {
                jobs.EngraveAllBorders();
            } else {
                jobs.EngraveAllFilled();
            }
        });
}
