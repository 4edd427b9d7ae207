#include "app/batch/BatchOutput.h"

#include <QFileInfo>
#include <QImageWriter>
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

int failWith(const QString& message) {
    printError(message + u'\n');
    return kExitFailed;
}

int badCommandLine(const QString& message) {
    printError(QStringLiteral("cnc: %1\n\n%2").arg(message, batchUsage()));
    return kExitBadCommandLine;
}

bool writePreview(const QString& path, const QImage& picture) {
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    QImageWriter writer(path, format == "bmp" ? QByteArray("bmp") : QByteArray("png"));
    if (writer.write(picture)) return true;
    printError(QStringLiteral("Не удалось записать %1: %2\n").arg(path, writer.errorString()));
    return false;
}
