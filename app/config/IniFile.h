#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// A small INI file: "[section]" lines followed by "key=value" lines, UTF-8. Section and key
// names are matched without regard to case; the first matching section and, inside it, the first
// matching key win. Lines that are not touched by a change are kept byte for byte (comments,
// blank lines, other sections, their order and their line ends).
class IniFile {
public:
    // Reads the file at `path`. A missing file gives an empty IniFile; a file that exists but
    // cannot be read (a directory, an I/O error) gives nothing, so that no caller replaces it.
    static std::optional<IniFile> read(const QString& path);

    // Builds an IniFile from the file's bytes.
    static IniFile fromBytes(const QByteArray& bytes);

    // The value of `key` in `section` exactly as stored (everything after the first "=" up to
    // the line end), or nothing when the section or the key is missing.
    std::optional<QString> value(QStringView section, QStringView key) const;

    // Stores `value` under `key` in `section`, creating the section and the key when missing;
    // an existing key keeps its spelling and only its value changes. Refuses (returns false)
    // an empty key, a key holding "=", "[", ";" or a line break, and a value holding a line
    // break, because each would change other lines of the file when read back.
    bool setValue(QStringView section, QStringView key, const QString& value);

    // The file's bytes; the last line always ends with a line end.
    QByteArray toBytes() const;

    // Replaces the file at `path` whole or not at all (AtomicFile). Returns an empty text, or the
    // message naming the file and the reason (the old file left as it was).
    QString write(const QString& path) const;

private:
    struct LineView;
    LineView parseLine(qsizetype index) const;
    // The index range [begin, end) of the lines that belong to `section` (after its header), or
    // nothing when the section is missing.
    std::optional<std::pair<qsizetype, qsizetype>> sectionRange(QStringView section) const;
    QByteArray newLine(const QByteArray& text) const;

    QList<QByteArray> m_lines;  // without "\n"; a "\r" of a CR LF line end stays on its line
    bool m_crlf = false;        // new lines end in CR LF like the file's first line
};
