#include "app/config/Config.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtDebug>

#include "app/config/IniFile.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramFiles.h"

namespace {

std::optional<ProgramFiles>& programFilesChosen() {
    static std::optional<ProgramFiles> files;
    return files;
}

ProgramFiles programFiles() {
    const std::optional<ProgramFiles>& files = programFilesChosen();
    return files ? *files : ProgramFilesBeside(ProgramDirectory());
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

void setProgramFiles(const ProgramFiles& files) {
    programFilesChosen() = files;
}

bool CreateProgramConfigFile() {
    const ProgramFiles files = programFiles();
    if (files.createConfigFile()) return true;
    qWarning("cnc.ini: cannot create %s", qUtf8Printable(files.configPath));
    return false;
}

QString ProgramFilePath(const QString& fileName) {
    return programFiles().dataFile(fileName);
}

QString DefaultPicturePath(const QString& fileName) {
    return programFiles().defaultPicture(fileName);
}

QString PictureDirectory() {
    return QFileInfo(DefaultPicturePath(QLatin1String(kOrnamentPicture))).path();
}

QString DefaultConfigPath() {
    return programFiles().configPath;
}

QString ConfigFile::ReadSetting(const QString& key, const QString& defaultValue) const {
    return ReadSettingText(key, defaultValue).text;
}

ConfigFile::SettingText ConfigFile::ReadSettingText(const QString& key,
                                                    const QString& defaultValue) const {
    const std::optional<IniFile> ini = IniFile::read(m_path);
    if (!ini) return {defaultValue};
    const std::optional<QString> value = ini->value(kConfigSection, key);
    if (!value || value->isEmpty()) return {defaultValue};
    const QString text = firstCharacters(*value, kMaxSettingLength);
    return {text, text.size() < value->size()};
}

bool ConfigFile::WriteSetting(const QString& key, const QString& value) const {
    return WriteSettings({{key, value}}).isEmpty();
}

QString ConfigFile::WriteSettings(const QList<std::pair<QString, QString>>& values) const {
    if (values.isEmpty()) return {};
    const QString& path = m_path;
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
