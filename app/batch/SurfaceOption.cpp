#include "app/batch/SurfaceOption.h"

#include "app/batch/BatchOutput.h"
#include "app/config/NumberText.h"
#include "surface/SurfaceCsv.h"

SurfaceChoice readSurfaceOption(const BatchOptions& options, double probeScaleMm) {
    SurfaceChoice choice;
    if (options.surface.isEmpty()) {
        if (options.surfaceOffset) {
            choice.exitStatus =
                badCommandLine(QStringLiteral("--surface-offset только вместе с --surface"));
        }
        return choice;
    }
    if (options.surfaceOffset) {
        // "X,Y" with decimal points, or "X;Y" when the numbers have decimal commas.
        const QString& text = *options.surfaceOffset;
        const QStringList parts = text.split(text.contains(u';') ? u';' : u',');
        const std::optional<double> x = parts.size() == 2 ? parseNumber(parts[0]) : std::nullopt;
        const std::optional<double> y = parts.size() == 2 ? parseNumber(parts[1]) : std::nullopt;
        if (!x || !y) {
            choice.exitStatus = badCommandLine(
                QStringLiteral("--surface-offset ждёт X,Y (два числа через запятую, или X;Y): %1")
                    .arg(*options.surfaceOffset));
            return choice;
        }
        choice.startMm = {*x, *y};
    }
    SurfaceCsvResult read = readSurfaceCsv(options.surface, probeScaleMm);
    if (!read.map) {
        printError(read.error + u'\n');
        choice.exitStatus = kExitFailed;
        return choice;
    }
    choice.map = std::move(read.map);
    return choice;
}
