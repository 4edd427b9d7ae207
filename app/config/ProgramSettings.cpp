#include "app/config/ProgramSettings.h"

#include <QStringList>
#include <cmath>

#include "app/config/Config.h"
#include "app/config/ConfigKeys.h"

namespace {

struct RatioKey {
    const ConfigKey& key;
    const char* axis;
    double ProgramSettings::*ratio;
};

const RatioKey kRatioKeys[] = {
    {kRatioXKey, "X", &ProgramSettings::StepRatioX},
    {kRatioYKey, "Y", &ProgramSettings::StepRatioY},
    {kRatioZKey, "Z", &ProgramSettings::StepRatioZ},
};

}  // namespace

const GcodeSettingKey kGcodeSettingKeys[10] = {
    {"gcode_feed_mill", u"Подача фрезы, мм/мин:", &GcodeSettings::MillFeed},
    {"gcode_feed_plunge", u"Подача вниз, мм/мин:", &GcodeSettings::PlungeFeed},
    {"gcode_feed_laser", u"Подача лазера, мм/мин:", &GcodeSettings::LaserFeed},
    {"gcode_feed_probe", u"Подача щупа, мм/мин:", &GcodeSettings::ProbeFeed},
    {"gcode_laser_power", u"Мощность обводки, S:", &GcodeSettings::OutlinePower},
    {"gcode_laser_scale", u"Мощность при черном, S:", &GcodeSettings::LaserScale},
    {"gcode_probe_limit", u"Ход щупа вниз, мм:", &GcodeSettings::ProbeLimit},
    {"gcode_height_range", u"Диапазон высот, мм:", &GcodeSettings::HeightRange},
    {"gcode_safe_height", u"Высота переездов, мм:", &GcodeSettings::SafeHeight},
    {"gcode_pass_depth", u"Глубина за проход, мм:", &GcodeSettings::PassDepth},
};

void SharedSettings::replace(const ProgramSettings& values) {
    m_values = values;
    emit changed();
}

QString loadProgramSettings(const ConfigFile& config, ProgramSettings& settings) {
    QStringList problems;
    for (const RatioKey& entry : kRatioKeys) {
        const QString key = QLatin1String(entry.key.name);
        const ConfigFile::SettingText stored =
            config.ReadSettingText(key, entry.key.defaultValue());
        const QString& text = stored.text;
        // A value cut by the reader would read as another number.
        const std::optional<double> ratio = stored.cut ? std::nullopt : ParseDecimal(text);
        // Never guess a replacement: +0.005 in place of a ratio calibrated negative would run
        // the axis backwards. 0 makes every move on the axis refused until a valid ratio is set.
        settings.*entry.ratio = ratio.value_or(0.0);
        if (stored.cut) {
            problems << QStringLiteral(
                            "%1 — значение длиннее %2 знаков (прочитано не целиком), "
                            "перемещения по оси %3 запрещены.")
                            .arg(key)
                            .arg(kMaxSettingLength)
                            .arg(QLatin1String(entry.axis));
        } else if (!ratio) {
            problems << QStringLiteral("%1 = \"%2\" — не число, перемещения по оси %3 запрещены.")
                            .arg(key, text, QLatin1String(entry.axis));
        } else if (*ratio == 0.0) {
            problems << QStringLiteral("%1 = \"%2\" — ноль, перемещения по оси %3 запрещены.")
                            .arg(key, text, QLatin1String(entry.axis));
        }
    }
    settings.PortName = kPortKey.read(config);
    const std::optional<double> timeout = ParseDecimal(kReplyTimeoutKey.read(config));
    settings.ReplyTimeoutSeconds =
        timeout && *timeout > 0 && std::isfinite(*timeout) ? *timeout : kDefaultReplyTimeoutSeconds;
    const std::optional<double> probeScale = ParseDecimal(kProbeScaleKey.read(config));
    settings.ProbeScaleMm = probeScale && *probeScale != 0 && std::isfinite(*probeScale)
                                ? *probeScale
                                : ProgramSettings().ProbeScaleMm;
    const GcodeSettings defaults;
    for (const GcodeSettingKey& entry : kGcodeSettingKeys) {
        const ConfigFile::SettingText stored =
            config.ReadSettingText(QLatin1String(entry.key), QString());
        const std::optional<double> value = stored.cut ? std::nullopt : ParseDecimal(stored.text);
        settings.Gcode.*entry.value =
            value && *value > 0 && std::isfinite(*value) ? *value : defaults.*entry.value;
    }
    if (problems.isEmpty()) return {};
    return QStringLiteral("В файле настроек %1:\n%2\nЗадайте шаг двигателя в окне \"Настройка\".")
        .arg(config.ConfigPath(), problems.join(u'\n'));
}
