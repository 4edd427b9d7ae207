#include "app/batch/PictureJobCommand.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/config/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "link/protocol/ProgramContext.h"

std::optional<int> refuseModeWords(const QString& command, const QStringList& arguments,
                                   const QStringList& modes) {
    const QString usage = QStringLiteral("%1 %2 КАРТИНКА").arg(command, modes.join(u'|'));
    if (arguments.isEmpty())
        return badCommandLine(
            QStringLiteral("команде %1 нужны режим и картинка: %2").arg(command, usage));
    if (!modes.contains(arguments[0])) {
        return badCommandLine(QStringLiteral("%1: неизвестный режим «%2»; возможны: %3")
                                  .arg(command, arguments[0], modes.join(QStringLiteral(", "))));
    }
    if (arguments.size() != 2) {
        return badCommandLine(
            arguments.size() < 2
                ? QStringLiteral("%1 %2: не указана картинка (%3)")
                      .arg(command, arguments[0], usage)
                : QStringLiteral("%1: лишнее слово «%2» (%3)").arg(command, arguments[2], usage));
    }
    return std::nullopt;
}

QString pictureLoadFailure(const QString& path, PictureLoadStatus status, const QString& message) {
    if (status != PictureLoadStatus::FileNotFound) return message;
    const QFileInfo file(path);
    const QString fullPath = QDir::toNativeSeparators(file.absoluteFilePath());
    if (file.isDir()) return QStringLiteral("%1 — папка, а не файл картинки.").arg(fullPath);
    return QStringLiteral("Файл картинки не найден: %1").arg(fullPath);
}

std::optional<FigurePicture> loadFigurePicture(const QString& path, const BatchOptions& options,
                                               bool selected) {
    PictureLoadResult picture = loadPictureLayers(path);
    if (picture.status != PictureLoadStatus::Loaded) {
        printError(pictureLoadFailure(path, picture.status, picture.message) + u'\n');
        return std::nullopt;
    }
    FigureAnalysis analysis = ParseFigures(picture.layers.WorkLayer);
    if (!analysis.hasTree()) {
        printError(QStringLiteral("В картинке %1 нет тёмной фигуры на светлом фоне: обрабатывать "
                                  "нечего.\n")
                       .arg(QFileInfo(path).fileName()));
        return std::nullopt;
    }
    if (selected && !selectedFigure(options, analysis)) {
        printError(options.figure
                       ? QStringLiteral("Не выбрана фигура: фигуры --figure %1 нет в дереве "
                                        "картинки; номера фигур дерева печатает cnc parse "
                                        "КАРТИНКА.\n")
                             .arg(*options.figure)
                       : QStringLiteral("Не выбрана фигура: режиму selected нужен --figure N, "
                                        "номер фигуры из дерева картинки (его печатает cnc "
                                        "parse КАРТИНКА).\n"));
        return std::nullopt;
    }
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
                       const QString& job, const QString& picturePath, const PixelBuffer& picture,
                       const QList<JournalEntry>& entries) {
    const JournalPicture named{picturePath, picture.width, picture.height,
                               pixelHash(picture.bytes.data(), picture.bytes.size())};
    host.setJournalIdentity(journalIdentity(window, job, named, host.journalFields() + entries,
                                            program.settings.values()));
}

QString jobWords(const QString& command, const QString& mode, const BatchOptions& options) {
    QString words = command + u' ' + mode;
    if (mode == u"selected" && options.figure) words += u' ' + QString::number(*options.figure);
    return words;
}
