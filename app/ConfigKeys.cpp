#include "app/ConfigKeys.h"

#include "app/Config.h"

QString ConfigKey::defaultValue() const {
    const QString text = QString::fromUtf8(defaultText);
    return inProgramDirectory ? ProgramFilePath(text) : text;
}

QString ConfigKey::read() const {
    return ReadSetting(QLatin1String(name), defaultValue());
}

bool ConfigKey::write(const QString& value) const {
    return WriteSetting(writtenName(), value);
}
