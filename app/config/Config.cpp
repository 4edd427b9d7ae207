#include "app/config/Config.h"

#include <QCoreApplication>
#include <QtDebug>

#include "app/config/IniFile.h"
#include "app/config/NumberText.h"

namespace {

// The first `count` characters of `text`, never splitting a character made of two UTF-16 units.
QString firstCharacters(const QString& text, int count) {
    qsizetype units = 0;
    for (int n = 0; n < count && units < text.size(); ++n) {
        units += (text[units].isHighSurrogate() && units + 1 < text.size()) ? 2 : 1;
    }
    return text.left(units);
}

}  // namespace

QString ProgramDirectory() {
    return QCoreApplication::applicationDirPath();
}

QString ProgramFilePath(const QString& fileName) {
    return ProgramDirectory() + u'/' + fileName;
}

QString DefaultConfigPath() {
    return ProgramFilePath(QStringLiteral("cnc.ini"));
}

QString ConfigFile::ReadSetting(const QString& key, const QString& defaultValue) const {
    const std::optional<IniFile> ini = IniFile::read(m_path);
    if (!ini) return defaultValue;
    const std::optional<QString> value = ini->value(kConfigSection, key);
    if (!value || value->isEmpty()) return defaultValue;
    return firstCharacters(*value, kMaxSettingLength);
}

bool ConfigFile::WriteSetting(const QString& key, const QString& value) const {
    const QString& path = m_path;
    // A file that exists but cannot be read is left alone: rewriting it from nothing would lose
    // every other setting.
    std::optional<IniFile> ini = IniFile::read(path);
    if (!ini) {
        qWarning("cnc.ini: cannot read %s; %s not saved", qUtf8Printable(path),
                 qUtf8Printable(key));
        return false;
    }
    if (!ini->setValue(kConfigSection, key, value)) {
        qWarning("cnc.ini: %s cannot be stored (a line break in the key or the value)",
                 qUtf8Printable(key));
        return false;
    }
    if (!ini->write(path)) {
        qWarning("cnc.ini: cannot write %s; %s not saved", qUtf8Printable(path),
                 qUtf8Printable(key));
        return false;
    }
    return true;
}

std::optional<double> ParseDecimal(const QString& text) {
    return parseNumber(text);
}
