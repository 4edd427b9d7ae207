#include "figures/PictureDamage.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtEndian>

#include "figures/PictureLayers.h"
#include "tests/support/DamagedPictures.h"

namespace {

// The first bytes of a BMP with a 40-byte header: offset, width, height, bits, compression.
QByteArray bmpHeader(quint32 offset, qint32 width, qint32 height, quint16 bits,
                     quint32 compression = 0) {
    QByteArray header(54, '\0');
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian<quint32>(offset, header.data() + 10);
    qToLittleEndian<quint32>(40, header.data() + 14);
    qToLittleEndian<qint32>(width, header.data() + 18);
    qToLittleEndian<qint32>(height, header.data() + 22);
    qToLittleEndian<quint16>(bits, header.data() + 28);
    qToLittleEndian<quint32>(compression, header.data() + 30);
    return header;
}

// Worked examples: rows padded to four bytes, the height's sign ignored (top-down pictures),
// and the files whose size cannot be told from the header let through.
TEST(BmpDamage, PixelDataMustHoldEveryPaddedRow) {
    // 3 × 2 pixels of 24 bits: rows of 9 bytes padded to 12, 24 bytes of pixel data.
    EXPECT_EQ(bmpDamage(bmpHeader(54, 3, 2, 24), 54 + 24), "");
    EXPECT_EQ(bmpDamage(bmpHeader(54, 3, -2, 24), 54 + 23),
              "файл обрезан: в нём 23 байт данных пикселей из 24, указанных в заголовке картинки "
              "3 × 2.");
    // 9 × 3 pixels of one bit: 2 bytes a row padded to 4, after a palette of two colours.
    EXPECT_EQ(bmpDamage(bmpHeader(62, 9, 3, 1), 62 + 12), "");
    EXPECT_FALSE(bmpDamage(bmpHeader(62, 9, 3, 1), 62 + 11).isEmpty());
    // 32-bit bit fields count as uncompressed.
    EXPECT_FALSE(bmpDamage(bmpHeader(66, 4, 4, 32, 3), 66 + 63).isEmpty());
    // Run-length pictures have no fixed size; a file that is no BMP is not ours to judge.
    EXPECT_EQ(bmpDamage(bmpHeader(54, 100, 100, 8, 1), 60), "");
    EXPECT_EQ(bmpDamage(QByteArray(54, 'x'), 10), "");
    // An offset at or past the end leaves no pixel data at all.
    EXPECT_EQ(bmpDamage(bmpHeader(78, 3, 2, 24), 78),
              "данные пикселей начинаются за концом файла (смещение 78 байт, в файле 78 байт).");

    QByteArray core(26, '\0');  // the OS/2 header: 12 bytes, 16-bit sizes
    core[0] = 'B';
    core[1] = 'M';
    qToLittleEndian<quint32>(26, core.data() + 10);
    qToLittleEndian<quint32>(12, core.data() + 14);
    qToLittleEndian<quint16>(5, core.data() + 18);
    qToLittleEndian<quint16>(2, core.data() + 20);
    qToLittleEndian<quint16>(24, core.data() + 24);
    core += QByteArray(8, '\0');
    EXPECT_EQ(bmpDamage(core, 26 + 32), "");
    EXPECT_FALSE(bmpDamage(core, 26 + 31).isEmpty());
}

// Every damaged picture is refused with the program's message, the file's name and the reason;
// the same drawing whole loads.
TEST(LoadPictureFile, DamagedPicturesAreRefusedWholeOnesLoad) {
    QTemporaryDir dir;
    for (const DamagedPicture& picture : writeDamagedPictures(dir.path())) {
        SCOPED_TRACE(picture.name.toStdString());
        const PictureFileResult result = loadPictureFile(picture.path);
        EXPECT_EQ(result.status, PictureLoadStatus::CannotDecode);
        EXPECT_TRUE(result.message.startsWith(QStringLiteral("Ошибка открытия файла!\r\n") +
                                              picture.name + QStringLiteral(": ")))
            << result.message.toStdString();
        EXPECT_TRUE(result.message.contains(picture.reason)) << result.message.toStdString();
        EXPECT_TRUE(result.picture.isEmpty());
    }
    for (const char* name : {"whole.bmp", "whole.jpg"}) {
        SCOPED_TRACE(name);
        const PictureFileResult result =
            loadPictureFile(writeWholePicture(dir.path(), QString::fromLatin1(name)));
        ASSERT_EQ(result.status, PictureLoadStatus::Loaded) << result.message.toStdString();
        EXPECT_EQ(result.picture.width, 160);
        EXPECT_LT(result.picture.first(40, 40), 60);  // inside the first disc
    }
}

QStringList g_passedOn;

void recordPassedOn(QtMsgType, const QMessageLogContext&, const QString& text) {
    g_passedOn << text;
}

Q_LOGGING_CATEGORY(lcTestJpeg, "qt.gui.imageio.jpeg")

// The decoder's damage reports are taken; its other warnings and everybody else's messages
// reach the handler that was there before, which is back afterwards.
TEST(DecoderWarnings, TakesDamageReportsAndPassesTheRestOn) {
    g_passedOn.clear();
    const QtMessageHandler original = qInstallMessageHandler(&recordPassedOn);
    QStringList damage;
    {
        const DecoderWarnings warnings;
        qCWarning(lcTestJpeg, "Premature end of JPEG file");
        qCWarning(lcTestJpeg, "Warning: unknown JFIF revision number 3.01");
        qWarning("Corrupt JPEG data: not from the decoder");
        damage = warnings.damage();
    }
    qWarning("after");
    qInstallMessageHandler(original);
    EXPECT_EQ(damage, QStringList{"Premature end of JPEG file"});
    EXPECT_EQ(g_passedOn, (QStringList{"Warning: unknown JFIF revision number 3.01",
                                       "Corrupt JPEG data: not from the decoder", "after"}));
}

}  // namespace
