#include "app/batch/PictureJobCommand.h"

#include <QFileInfo>
#include <algorithm>

#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/config/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "link/protocol/ProgramContext.h"

std::optional<FigurePicture> loadFigurePicture(const QString& path) {
    PictureLoadResult picture = loadPictureLayers(path);
    if (picture.status != PictureLoadStatus::Loaded) {
        printError(picture.message + u'\n');
        return std::nullopt;
    }
    FigureAnalysis analysis = ParseFigures(picture.layers.WorkLayer);
    return FigurePicture{std::move(picture.layers), std::move(analysis)};
}

std::optional<std::int32_t> selectedFigure(const BatchOptions& options,
                                           const FigureAnalysis& analysis) {
    if (!options.figure) return std::nullopt;
    const bool inTree =
        std::any_of(analysis.tree.begin(), analysis.tree.end(),
                    [&](const TreeNode& node) { return node.figure == *options.figure; });
    if (!inTree) return std::nullopt;
    return *options.figure;
}

void setPictureJobTitle(BatchJobHost& host, const QString& what, const QString& picturePath) {
    host.setJobTitle(
        QStringLiteral("%1, картинка %2").arg(what, QFileInfo(picturePath).fileName()));
}

void setPictureJournal(BatchJobHost& host, const ProgramContext& program, const QString& window,
                       const QString& job, const QString& picturePath, const PixelBuffer& picture) {
    const JournalPicture named{picturePath, picture.width, picture.height,
                               pixelHash(picture.bytes.data(), picture.bytes.size())};
    host.setJournalIdentity(
        journalIdentity(window, job, named, host.journalFields(), program.settings.values()));
}

QString jobWords(const QString& command, const QString& mode, const BatchOptions& options) {
    QString words = command + u' ' + mode;
    if (mode == u"selected" && options.figure) words += u' ' + QString::number(*options.figure);
    return words;
}
