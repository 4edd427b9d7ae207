#include <QFileInfo>

#include "app/ConfigKeys.h"
#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "engrave/PictureEngraving.h"
#include "figures/PictureLayers.h"
#include "link/MachineLink.h"
#include "link/MoveProtocol.h"

int runEngraveCommand(const BatchCommandLine& commandLine) {
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

    BatchJobHost host(options);
    host.setJobTitle(QStringLiteral("гравировка картинки (engrave), картинка %1")
                         .arg(QFileInfo(arguments[0]).fileName()));
    host.setField(JobField::FinishedWidth, options.width.value_or(kEngraveWidthKey.read()));
    return runBatchJobWithPreview(options, host, picture, [&](JobHost& jobHost, MachineLink& link) {
        MoveProtocol protocol(MoveWindow::Engraving, jobHost, link);
        EngravePicture(picture, jobHost, protocol);
    });
}
