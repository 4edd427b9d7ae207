#include "app/batch/BatchOutput.h"

#include <QFileInfo>
#include <QImageWriter>
#include <cstdio>

#include "app/batch/BatchCommandLine.h"
#include "app/batch/BatchMain.h"
#include "app/config/AtomicFile.h"

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
    // The program's messages keep CR LF inside (message boxes); a terminal line ends in LF.
    QString lines = text;
    print(stderr, lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
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
    AtomicFile file(path);
    if (file.open()) {
        QImageWriter writer(&file.device(),
                            format == "bmp" ? QByteArray("bmp") : QByteArray("png"));
        if (!writer.write(picture))
            file.abandon(writer.errorString());
        else if (file.commit())
            return true;
    }
    printError(file.errorMessage() + u'\n');
    return false;
}
