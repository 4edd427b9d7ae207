#include "figures/PictureDamage.h"

#include <cstdio>
#include <cstdlib>

#include "figures/BmpFields.h"

namespace {

constexpr int kOffsetField = 10;
constexpr int kInfoSizeField = 14;
constexpr int kCoreHeaderBytes = 12;  // the OS/2 header: 16-bit width and height

DecoderWarnings* g_current = nullptr;

// libjpeg's warnings for data that is cut short or does not decode; its other warnings (an
// unknown JFIF revision, say) leave the picture whole.
bool tellsDamage(const QString& text) {
    for (const char* words : {"Corrupt JPEG data", "Premature end", "Invalid SOS",
                              "Inconsistent progression", "bad Huffman", "bad arithmetic"})
        if (text.contains(QLatin1String(words), Qt::CaseInsensitive)) return true;
    return false;
}

}  // namespace

QString bmpDamage(const QByteArray& header, qint64 fileBytes) {
    if (header.size() < kBmpCheckBytes || !header.startsWith("BM")) return {};
    const qint64 offset = readBmpField(header, kOffsetField, 4);
    if (offset >= fileBytes) {
        return QStringLiteral(
                   "данные пикселей начинаются за концом файла (смещение %1 байт, в "
                   "файле %2 байт).")
            .arg(offset)
            .arg(fileBytes);
    }
    const quint32 infoSize = readBmpField(header, kInfoSizeField, 4);
    qint64 width, height, bitCount;
    quint32 compression = kBmpPlainRgb;
    if (infoSize == kCoreHeaderBytes) {
        width = readBmpField(header, 18, 2);
        height = readBmpField(header, 20, 2);
        bitCount = readBmpField(header, 24, 2);
    } else {
        width = qint32(readBmpField(header, 18, 4));
        height = std::llabs(qint32(readBmpField(header, 22, 4)));
        bitCount = readBmpField(header, 28, 2);
        compression = readBmpField(header, 30, 4);
    }
    // Run-length and embedded pictures have no fixed size; what is nonsense the decoder refuses.
    if (compression != kBmpPlainRgb && compression != kBmpBitFields &&
        compression != kBmpAlphaBitFields)
        return {};
    if (width <= 0 || height <= 0 || bitCount <= 0) return {};
    const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
    const qint64 needed = rowBytes * height;
    const qint64 present = fileBytes - offset;
    if (present >= needed) return {};
    return QStringLiteral(
               "файл обрезан: в нём %1 байт данных пикселей из %2, указанных в "
               "заголовке картинки %3 × %4.")
        .arg(present)
        .arg(needed)
        .arg(width)
        .arg(height);
}

DecoderWarnings::DecoderWarnings() {
    g_current = this;
    m_previous = qInstallMessageHandler(&DecoderWarnings::handle);
}

DecoderWarnings::~DecoderWarnings() {
    qInstallMessageHandler(m_previous);
    g_current = nullptr;
}

void DecoderWarnings::handle(QtMsgType type, const QMessageLogContext& context,
                             const QString& text) {
    const bool fromDecoder =
        context.category && QByteArrayView(context.category).startsWith("qt.gui.imageio");
    if (g_current && fromDecoder && type == QtWarningMsg && tellsDamage(text)) {
        g_current->m_damage << text.trimmed();
        return;
    }
    QtMessageHandler previous = g_current ? g_current->m_previous : nullptr;
    if (previous) {
        previous(type, context, text);
    } else {
        // No handler before ours: what Qt's own would print.
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    }
}
