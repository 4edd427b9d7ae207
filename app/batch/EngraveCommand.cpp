#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/batch/PictureJobCommand.h"
#include "app/batch/SurfaceOption.h"
#include "app/config/ConfigKeys.h"
#include "app/config/ProgramSettings.h"
#include "engrave/PictureEngraving.h"
#include "figures/PictureLayers.h"
#include "link/protocol/ProgramContext.h"
#include "mill/SurfaceFollower.h"

namespace {

// The engraving job, its laser's Z following the map on the G-code ports (our own controller's
// engraving lines have no Z); a job that left the map says so once at its end.
void engraveFollowing(PixelBuffer& picture, JobHost& host, MoveProtocol& protocol,
                      const SurfaceChoice& surface) {
    std::optional<SurfaceFollower> follower;
    if (surface.map && protocol.portSpeaksGcode()) {
        protocol.setPictureWidth(picture.width);
        follower = surfaceFollowerFor(&*surface.map, surface.startMm, protocol);
    }
    SurfaceChange change;
    if (follower) change = [&](QPoint from, QPoint to) { return follower->change(from, to); };
    EngravePicture(picture, host, protocol, nullptr, change);
    if (follower && follower->leftMap()) host.showMessage(kAttentionTitle, leftMapNote());
}

}  // namespace

int runEngraveCommand(const BatchCommandLine& commandLine, ProgramContext& program) {
    const QStringList& arguments = commandLine.arguments;
    if (arguments.size() != 1)
        return badCommandLine(QStringLiteral("команде engrave нужна картинка"));
    const BatchOptions& options = commandLine.options;
    const SurfaceChoice surface =
        readSurfaceOption(options, program.settings.values().ProbeScaleMm);
    if (surface.exitStatus != kExitDone) return surface.exitStatus;
    PictureFileResult file = loadPictureFile(arguments[0]);
    if (file.status != PictureLoadStatus::Loaded) {
        printError(pictureLoadFailure(arguments[0], file.status, file.message) + u'\n');
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
                                      engraveFollowing(picture, jobHost, protocol, surface);
                                  });
}
