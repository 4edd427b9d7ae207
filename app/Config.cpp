#include "app/Config.h"

#include <QCoreApplication>
#include <QtDebug>

#include "app/IniFile.h"
#include "app/NumberText.h"

namespace {

QString& configPathOverride() {
    static QString path;
    return path;
}

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

QString ConfigPath() {
    const QString& path = configPathOverride();
    return path.isEmpty() ? ProgramFilePath(QStringLiteral("cnc.ini")) : path;
}

void setConfigPath(const QString& path) {
    configPathOverride() = path;
}

QString ReadSetting(const QString& key, const QString& defaultValue) {
    return ReadSettingText(key, defaultValue).text;
}

SettingText ReadSettingText(const QString& key, const QString& defaultValue) {
    const std::optional<IniFile> ini = IniFile::read(ConfigPath());
    if (!ini) return {defaultValue};
    const std::optional<QString> value = ini->value(kConfigSection, key);
    if (!value || value->isEmpty()) return {defaultValue};
    const QString text = firstCharacters(*value, kMaxSettingLength);
    return {text, text.size() < value->size()};
}

bool WriteSetting(const QString& key, const QString& value) {
    return WriteSettings({{key, value}}).isEmpty();
}

QString WriteSettings(const QList<std::pair<QString, QString>>& values) {
    if (values.isEmpty()) return {};
    const QString path = ConfigPath();
    QString error;
    // A file that exists but cannot be read is left alone: rewriting it from nothing would lose
    // every other setting.
    std::optional<IniFile> ini = IniFile::read(path);
    if (!ini)
        error = QStringLiteral("Не удалось прочитать файл %1, настройки не сохранены").arg(path);
    for (const auto& [key, value] : values) {
        if (!error.isEmpty()) break;
        if (!ini->setValue(kConfigSection, key, value)) {
            error = QStringLiteral("Настройку %1 нельзя сохранить в %2: в значении перевод строки")
                        .arg(key, path);
        }
    }
    if (error.isEmpty()) error = ini->write(path);
    if (!error.isEmpty()) qWarning("%s", qUtf8Printable(error));
    return error;
}

std::optional<double> ParseDecimal(const QString& text) {
    return parseNumber(text);
}
