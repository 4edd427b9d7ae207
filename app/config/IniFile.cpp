#include "app/config/IniFile.h"

#include <QFile>

#include "app/config/AtomicFile.h"

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(QStringView text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

}  // namespace

// What one line of the file is, with its texts decoded.
struct IniFile::LineView {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    QString name;           // section name or key name, blanks around it removed
    qsizetype valueAt = 0;  // for a key: byte offset of the value inside the line
    QString value;          // for a key: the value as stored
};

std::optional<IniFile> IniFile::read(const QString& path) {
    QFile file(path);
    if (!file.exists()) return IniFile();
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return fromBytes(bytes);
}

IniFile IniFile::fromBytes(const QByteArray& bytes) {
    IniFile ini;
    if (bytes.isEmpty()) return ini;
    ini.m_lines = bytes.split('\n');
    // A final line end leaves an empty last piece that is no line of its own.
    if (bytes.endsWith('\n')) ini.m_lines.removeLast();
    ini.m_crlf = !ini.m_lines.isEmpty() && ini.m_lines.first().endsWith('\r');
    // An unended last line gets the file's line end when the file is written again.
    if (ini.m_crlf && !bytes.endsWith('\n') && !ini.m_lines.last().endsWith('\r')) {
        ini.m_lines.last() += '\r';
    }
    return ini;
}

IniFile::LineView IniFile::parseLine(qsizetype index) const {
    QByteArray raw = m_lines[index];
    qsizetype start = 0;
    if (index == 0 && raw.startsWith(kUtf8Bom)) start = kUtf8Bom.size();
    qsizetype end = raw.size();
    if (end > start && raw[end - 1] == '\r') --end;
    const QByteArray text = raw.mid(start, end - start);

    LineView view;
    const QByteArray trimmed = text.trimmed();
    if (trimmed.startsWith('[')) {
        qsizetype close = trimmed.indexOf(']');
        if (close < 0) close = trimmed.size();
        view.kind = LineView::Kind::Section;
        view.name = QString::fromUtf8(trimmed.mid(1, close - 1)).trimmed();
        return view;
    }
    if (trimmed.startsWith(';') || trimmed.startsWith('#')) return view;
    const qsizetype eq = text.indexOf('=');
    if (eq < 0) return view;
    view.kind = LineView::Kind::Key;
    view.name = QString::fromUtf8(text.left(eq)).trimmed();
    view.valueAt = start + eq + 1;
    view.value = QString::fromUtf8(text.mid(eq + 1));
    return view;
}

std::optional<std::pair<qsizetype, qsizetype>> IniFile::sectionRange(QStringView section) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const LineView header = parseLine(i);
        if (header.kind != LineView::Kind::Section || !sameName(header.name, section)) continue;
        qsizetype end = i + 1;
        while (end < m_lines.size() && parseLine(end).kind != LineView::Kind::Section) ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

std::optional<QString> IniFile::value(QStringView section, QStringView key) const {
    const auto range = sectionRange(section);
    if (!range) return std::nullopt;
    for (qsizetype i = range->first; i < range->second; ++i) {
        LineView line = parseLine(i);
        if (line.kind == LineView::Kind::Key && sameName(line.name, key)) return line.value;
    }
    return std::nullopt;
}

QByteArray IniFile::newLine(const QByteArray& text) const {
    return m_crlf ? text + '\r' : text;
}

bool IniFile::setValue(QStringView section, QStringView key, const QString& value) {
    const QString name = key.trimmed().toString();
    if (name.isEmpty() || hasLineBreak(key) || hasLineBreak(value) || name.contains(u'=') ||
        name.startsWith(u'[') || name.startsWith(u';') || name.startsWith(u'#') ||
        hasLineBreak(section) || section.contains(u']')) {
        return false;
    }
    const QByteArray keyLine = newLine(name.toUtf8() + '=' + value.toUtf8());

    const auto range = sectionRange(section);
    if (!range) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty()) m_lines.append(newLine({}));
        m_lines.append(newLine('[' + section.toString().toUtf8() + ']'));
        m_lines.append(keyLine);
        return true;
    }
    for (qsizetype i = range->first; i < range->second; ++i) {
        const LineView line = parseLine(i);
        if (line.kind != LineView::Kind::Key || !sameName(line.name, key)) continue;
        QByteArray& raw = m_lines[i];
        const bool cr = raw.endsWith('\r');
        raw = raw.left(line.valueAt) + value.toUtf8() + (cr ? "\r" : "");
        return true;
    }
    // A new key goes after the section's last non-blank line, so that blank lines separating it
    // from the next section stay where they are.
    qsizetype insertAt = range->first;
    for (qsizetype i = range->first; i < range->second; ++i) {
        if (!m_lines[i].trimmed().isEmpty()) insertAt = i + 1;
    }
    m_lines.insert(insertAt, keyLine);
    return true;
}

QByteArray IniFile::toBytes() const {
    QByteArray bytes;
    for (const QByteArray& line : m_lines) {
        bytes += line;
        bytes += '\n';
    }
    return bytes;
}

QString IniFile::write(const QString& path) const {
    return writeFileAtomically(path, toBytes());
}
