#include "app/config/ConfigKeys.h"

#include "app/config/Config.h"

QString ConfigKey::defaultValue() const {
    const QString text = QString::fromUtf8(defaultText);
    return defaultPicture ? DefaultPicturePath(text) : text;
}

QString ConfigKey::read(const ConfigFile& config) const {
    return config.ReadSetting(QLatin1String(name), defaultValue());
}

bool ConfigKey::write(const ConfigFile& config, const QString& value) const {
    return config.WriteSetting(QLatin1String(writtenAs ? writtenAs : name), value);
}
