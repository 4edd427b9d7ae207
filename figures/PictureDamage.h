#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Damage that the picture decoder lets pass: it decodes a cut BMP or JPEG anyway, filling the
// missing part with black or grey, and a job would then burn or cut what is not in the picture.

// How much of a BMP file bmpDamage needs.
inline constexpr int kBmpCheckBytes = 30 + 4;

// Why the BMP file that starts with `header` (its first kBmpCheckBytes bytes or more) and holds
// `fileBytes` bytes is not whole: its pixel data begins outside the file, or is shorter than
// the header's size and bit depth say (uncompressed and bit-field pictures). Empty for a whole
// BMP and for any file that is not a BMP or whose header is too short to tell.
QString bmpDamage(const QByteArray& header, qint64 fileBytes);

// Collects, while it lives, what the JPEG decoder reports as a cut or corrupt file (libjpeg
// tells it as a warning and still returns a picture); other messages pass on as before. One at
// a time, on the thread that decodes.
class DecoderWarnings {
public:
    DecoderWarnings();
    ~DecoderWarnings();
    DecoderWarnings(const DecoderWarnings&) = delete;
    DecoderWarnings& operator=(const DecoderWarnings&) = delete;

    // The decoder's own words, in the order reported.
    const QStringList& damage() const { return m_damage; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text);

    QtMessageHandler m_previous;
    QStringList m_damage;
};
