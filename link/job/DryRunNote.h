#pragma once

#include <QString>

// Said at the end of a dry run (the output box clear, or --dry-run), after the job's own words:
// no line went to the machine.
inline QString dryRunNote() {
    return QStringLiteral("Сухой прогон: на станок ничего не отправлено.");
}
