#include "app/config/ConfigKeys.h"

#include "app/config/Config.h"

QString ConfigKey::defaultValue() const {
    const QString text = QString::fromUtf8(defaultText);
    return defaultPicture ? DefaultPicturePath(text) : text;
}

QString ConfigKey::read(const ConfigFile& config) const {
    const ConfigFile::SettingText stored =
        config.ReadSettingText(QLatin1String(name), defaultValue());
    return stored.cut && !defaultPicture ? stored.text + u'…' : stored.text;
}

bool ConfigKey::write(const ConfigFile& config, const QString& value) const {
    return config.WriteSetting(writtenName(), value);
}
