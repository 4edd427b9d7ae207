#include "app/Config.h"
#include "app/ConfigKeys.h"
#include "app/NumberText.h"
#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "link/MoveProtocol.h"
#include "scanner/ScanFields.h"
#include "scanner/ScanFiles.h"
#include "scanner/ScanInterpolation.h"
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

}  // namespace

int runScanCommand(const BatchCommandLine& commandLine) {
    if (!commandLine.arguments.isEmpty())
        return badCommandLine(QStringLiteral("команде scan не нужны аргументы"));
    const BatchOptions& options = commandLine.options;
    const auto image =
        pairOf(options.image, kScanPictureWidthKey.read(), kScanPictureHeightKey.read());
    if (!image) return badCommandLine(QStringLiteral("--image: нужно W,H"));
    const auto mesh = pairOf(options.mesh, kScanMeshWidthKey.read(), kScanMeshHeightKey.read());
    if (!mesh) return badCommandLine(QStringLiteral("--mesh: нужно W,H"));
    ScanCommandFields fields;
    fields.imageWidth = image->first;
    fields.imageHeight = image->second;
    fields.scan.meshWidth = mesh->first;
    fields.scan.meshHeight = mesh->second;
    fields.scan.areaWidth = options.area.value_or(kScanAreaWidthKey.read());
    fields.scan.areaHeight =
        DeriveAreaHeight(fields.imageWidth, fields.imageHeight, fields.scan.areaWidth);

    const std::optional<int> width = ImageSide(fields.imageWidth);
    const std::optional<int> height = ImageSide(fields.imageHeight);
    if (!width || !height) {
        printError(QStringLiteral("Размеры изображения должны быть целыми числами от 1 до %1 "
                                  "пикселей.\n")
                       .arg(kLargestImageSide));
        return kExitFailed;
    }
    const int meshWidth = GridCount(fields.scan.meshWidth).value_or(0);
    const int meshHeight = GridCount(fields.scan.meshHeight).value_or(0);
    const ImageExtent extent{*parseNumber(fields.imageWidth), *parseNumber(fields.imageHeight)};
    // Said before the scan, so that a long scan does not end in a refusal.
    if (options.exportPath.endsWith(u".stl", Qt::CaseInsensitive)) {
        const qint64 bytes = ScanStlFileBytes(extent);
        if (bytes > kLargeExportBytes) {
            if (!options.force) {
                printError(LargeExportNote(options.exportPath, bytes) +
                           QStringLiteral(" Чтобы записать его, добавьте --force.\n"));
                return kExitFailed;
            }
            printError(LargeExportNote(options.exportPath, bytes) + u'\n');
        }
    }
    // A picture of 8000 × 8000 pixels takes 256 MB: it is drawn only when it is written.
    const QSize pictureSize(*width + kPictureBorder, *height + kPictureBorder);
    ScanPicture picture;
    if (options.save.isEmpty() && options.preview.isEmpty())
        picture.ResetUndrawnPicture(pictureSize);
    else
        picture.ResetScanPicture(pictureSize, meshWidth, meshHeight);
    ScanRecord record;

    BatchJobHost host(options);
    host.setJobTitle(QStringLiteral("сканирование поверхности (scan)"));
    int status = runBatchJob(options, host, [&](JobHost& jobHost, MachineLink& link) {
        MoveProtocol protocol(MoveWindow::Scanner, jobHost, link);
        ScanJob job(jobHost, protocol, picture, record);
        job.ScanSurface(fields.scan);
    });
    const auto fail = [&](const QString& message) {
        printError(message + u'\n');
        status = kExitFailed;
    };
    if (status == kExitDone && options.interpolate) {
        const QSize cell = CellSizeFor(picture.size(), meshWidth, meshHeight);
        const QString refusal =
            InterpolationRefusal(record.map, meshWidth, meshHeight, extent, cell);
        if (refusal.isEmpty()) {
            if (!picture.buffer().isEmpty())
                InterpolateHeightMap(picture, record.map, extent, cell);
        } else {
            fail(refusal);
        }
    }
    if (status == kExitDone && !options.save.isEmpty()) {
        const QString error = SaveScanImage(picture.buffer(), options.save);
        if (!error.isEmpty()) fail(error);
    }
    if (status == kExitDone && !options.exportPath.isEmpty()) {
        const QString error = ExportScan(record, meshWidth, meshHeight, extent, kDefaultStlHeightMm,
                                         options.exportPath);
        if (!error.isEmpty()) fail(error);
    }
    if (!options.preview.isEmpty() && !writePreview(options.preview, picture.image()))
        status = kExitFailed;
    return status;
}
