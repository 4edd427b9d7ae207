#include "app/ConfigKeys.h"

#include "app/Config.h"

QString ConfigKey::defaultValue() const {
    const QString text = QString::fromUtf8(defaultText);
    return inProgramDirectory ? ProgramFilePath(text) : text;
}

QString ConfigKey::read() const {
    const SettingText stored = ReadSettingText(QLatin1String(name), defaultValue());
    return stored.cut && !inProgramDirectory ? stored.text + u'…' : stored.text;
}

bool ConfigKey::write(const QString& value) const {
    return WriteSetting(writtenName(), value);
}
