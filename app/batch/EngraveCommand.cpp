#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/batch/PictureJobCommand.h"
#include "app/config/ConfigKeys.h"
#include "app/config/ProgramSettings.h"
#include "engrave/PictureEngraving.h"
#include "figures/PictureLayers.h"
#include "link/protocol/ProgramContext.h"

int runEngraveCommand(const BatchCommandLine& commandLine, ProgramContext& program) {
    const QStringList& arguments = commandLine.arguments;
    if (arguments.size() != 1)
        return badCommandLine(QStringLiteral("команде engrave нужна картинка"));
    const BatchOptions& options = commandLine.options;
    PictureFileResult file = loadPictureFile(arguments[0]);
    if (file.status != PictureLoadStatus::Loaded) {
        printError(file.message + u'\n');
        return kExitFailed;
    }
    PixelBuffer& picture = file.picture;

    BatchJobHost host(options, program.settings.values());
    setPictureJobTitle(host, QStringLiteral("гравировка картинки (engrave)"), arguments[0]);
    host.setField(JobField::FinishedWidth,
                  options.width.value_or(kEngraveWidthKey.read(program.config)));
    setPictureJournal(host, program, QStringLiteral("engrave"), QStringLiteral("engrave"),
                      arguments[0], picture);
    return runBatchJobWithPreview(program, options, host, MoveRules::Engraving, picture,
                                  [&](JobHost& jobHost, MoveProtocol& protocol) {
                                      EngravePicture(picture, jobHost, protocol);
                                  });
}
