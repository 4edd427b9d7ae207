#include "app/batch/BatchOutput.h"

#include <cstdio>

#include "app/batch/BatchCommandLine.h"
#include "app/batch/BatchMain.h"

namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

void printOut(const QString& text) {
    print(stdout, text);
}

void printError(const QString& text) {
    print(stderr, text);
}

int badCommandLine(const QString& message) {
    printError(QStringLiteral("cnc: %1\n\n%2").arg(message, batchUsage()));
    return kExitBadCommandLine;
}
