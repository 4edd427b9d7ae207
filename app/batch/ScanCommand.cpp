#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/config/Config.h"
#include "app/config/ConfigKeys.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"
#include "scanner/ScanFields.h"
#include "scanner/ScanFiles.h"
#include "scanner/ScanInterpolation.h"
#include "scanner/ScanJournal.h"
#include "scanner/ScanRelief.h"
#include "scanner/ScanSurface.h"

namespace {

// The two texts of an option "W,H".
std::optional<std::pair<QString, QString>> pairOf(const std::optional<QString>& option,
                                                  const QString& defaultWidth,
                                                  const QString& defaultHeight) {
    if (!option) return std::pair{defaultWidth, defaultHeight};
    const QStringList parts = option->split(u',');
    if (parts.size() != 2) return std::nullopt;
    return std::pair{parts[0].trimmed(), parts[1].trimmed()};
}

// The scanner window's fields as the scan command fills them: the options, else its keys.
struct ScanCommandFields {
    QString imageWidth, imageHeight;  // Text6, Text7
    ScanFieldTexts scan;              // Text3, Text4, Text8 and the derived Text9
};

// The scanner window's fields from the options, else from its keys; prints what is wrong and
// returns nothing (with `status` set) when an option cannot be read.
std::optional<ScanCommandFields> scanFieldsFor(const BatchOptions& options,
                                               const ConfigFile& config, int& status) {
    const auto image = pairOf(options.image, kScanPictureWidthKey.read(config),
                              kScanPictureHeightKey.read(config));
    if (!image) {
        status = badCommandLine(QStringLiteral("--image: нужно W,H"));
        return std::nullopt;
    }
    const auto mesh =
        pairOf(options.mesh, kScanMeshWidthKey.read(config), kScanMeshHeightKey.read(config));
    if (!mesh) {
        status = badCommandLine(QStringLiteral("--mesh: нужно W,H"));
        return std::nullopt;
    }
    ScanCommandFields fields;
    fields.imageWidth = image->first;
    fields.imageHeight = image->second;
    fields.scan.meshWidth = mesh->first;
    fields.scan.meshHeight = mesh->second;
    fields.scan.areaWidth = options.area.value_or(kScanAreaWidthKey.read(config));
    fields.scan.areaHeight =
        DeriveAreaHeight(fields.imageWidth, fields.imageHeight, fields.scan.areaWidth);
    return fields;
}

// --interpolate, --save and --export after a scan that ended well; returns the status.
int finishScan(const BatchOptions& options, const ImageExtent& extent, ScanPicture& picture,
               const ScanRecord& record, int meshWidth, int meshHeight) {
    if (options.interpolate) {
        const QSize cell = CellSizeFor(picture.size(), meshWidth, meshHeight);
        const QString refusal =
            InterpolationRefusal(record.map, meshWidth, meshHeight, extent, cell);
        if (!refusal.isEmpty()) return failWith(refusal);
        if (!picture.buffer().isEmpty()) InterpolateHeightMap(picture, record.map, extent, cell);
    }
    if (!options.save.isEmpty()) {
        const QString error = SaveScanImage(picture.buffer(), options.save);
        if (!error.isEmpty()) return failWith(error);
    }
    if (!options.relief.isEmpty()) {
        const QString error =
            SaveScanRelief(record.map, meshWidth, meshHeight, extent, options.relief);
        if (!error.isEmpty()) return failWith(error);
    }
    if (!options.exportPath.isEmpty()) {
        const QString error = ExportScan(record, meshWidth, meshHeight, extent, kDefaultStlHeightMm,
                                         options.exportPath);
        if (!error.isEmpty()) return failWith(error);
    }
    return kExitDone;
}

// Said before the scan, so that a long scan does not end in a refusal: an STL export over 1 GB
// is refused without --force. Returns false when refused.
bool largeExportAllowed(const BatchOptions& options, const ImageExtent& extent) {
    if (!options.exportPath.endsWith(u".stl", Qt::CaseInsensitive)) return true;
    const qint64 bytes = ScanStlFileBytes(extent);
    if (bytes <= kLargeExportBytes) return true;
    if (!options.force) {
        printError(LargeExportNote(options.exportPath, bytes) +
                   QStringLiteral(" Чтобы записать его, добавьте --force.\n"));
        return false;
    }
    printError(LargeExportNote(options.exportPath, bytes) + u'\n');
    return true;
}

}  // namespace

int runScanCommand(const BatchCommandLine& commandLine, ProgramContext& program) {
    if (!commandLine.arguments.isEmpty())
        return badCommandLine(QStringLiteral("команде scan не нужны аргументы"));
    const BatchOptions& options = commandLine.options;
    int status = kExitDone;
    const std::optional<ScanCommandFields> fields = scanFieldsFor(options, program.config, status);
    if (!fields) return status;

    const std::optional<int> width = ImageSide(fields->imageWidth);
    const std::optional<int> height = ImageSide(fields->imageHeight);
    if (!width || !height) {
        return failWith(QStringLiteral("Размеры изображения должны быть целыми числами от 1 до %1 "
                                       "пикселей.")
                            .arg(kLargestImageSide));
    }
    const int meshWidth = GridCount(fields->scan.meshWidth).value_or(0);
    const int meshHeight = GridCount(fields->scan.meshHeight).value_or(0);
    const ImageExtent extent{*parseNumber(fields->imageWidth), *parseNumber(fields->imageHeight)};
    if (!largeExportAllowed(options, extent)) return kExitFailed;
    // A picture of 8000 × 8000 pixels takes 256 MB: it is drawn only when it is written.
    const QSize pictureSize(*width + kPictureBorder, *height + kPictureBorder);
    ScanPicture picture;
    if (options.save.isEmpty() && options.preview.isEmpty())
        picture.ResetUndrawnPicture(pictureSize);
    else
        picture.ResetScanPicture(pictureSize, meshWidth, meshHeight);
    ScanRecord record;

    BatchJobHost host(options, program.settings.values());
    host.setJobTitle(QStringLiteral("сканирование поверхности (scan)"));
    const ScanFieldTexts& scan = fields->scan;
    host.setJournalIdentity(
        journalIdentity(QStringLiteral("scan"), QStringLiteral("scan"), {},
                        scanJournalEntries({scan, fields->imageWidth, fields->imageHeight}),
                        program.settings.values()),
        true);
    status = runBatchJob(program, options, host, MoveRules::Scanner,
                         [&](JobHost& jobHost, MoveProtocol& protocol) {
                             ScanJob job(jobHost, protocol, picture, record);
                             job.setReturnToStart(options.returnToStart);
                             job.ScanSurface(fields->scan);
                         });
    if (status == kExitDone)
        status = finishScan(options, extent, picture, record, meshWidth, meshHeight);
    if (!options.preview.isEmpty() && !writePreview(options.preview, picture.image()))
        status = kExitFailed;
    return status;
}
