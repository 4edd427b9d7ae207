#include "app/batch/BatchParser.h"

#include <functional>
#include <vector>

#include "app/config/NumberText.h"

namespace {

// Stores an option's value; returns an error text, empty when the value is good.
using OptionSetter = std::function<QString(BatchOptions&, const QString&)>;

struct OptionSpec {
    const char* name;
    bool takesValue;
    OptionSetter set;
};

OptionSetter text(QString BatchOptions::*field) {
    return [field](BatchOptions& options, const QString& value) {
        options.*field = value;
        return QString();
    };
}

OptionSetter optionalText(std::optional<QString> BatchOptions::*field) {
    return [field](BatchOptions& options, const QString& value) {
        options.*field = value;
        return QString();
    };
}

OptionSetter flag(bool BatchOptions::*field) {
    return [field](BatchOptions& options, const QString&) {
        options.*field = true;
        return QString();
    };
}

QString badValue(const QString& value) {
    return QStringLiteral("недопустимое значение «%1»").arg(value);
}

const std::vector<OptionSpec>& optionSpecs() {
    static const std::vector<OptionSpec> specs = {
        {"config", true, text(&BatchOptions::configPath)},
        {"port", true, optionalText(&BatchOptions::port)},
        {"dry-run", false, flag(&BatchOptions::dryRun)},
        {"width", true, optionalText(&BatchOptions::width)},
        {"depth", true, optionalText(&BatchOptions::depth)},
        {"diameter", true, optionalText(&BatchOptions::diameter)},
        {"mesh", true, optionalText(&BatchOptions::mesh)},
        {"area", true, optionalText(&BatchOptions::area)},
        {"image", true, optionalText(&BatchOptions::image)},
        {"preview", true, text(&BatchOptions::preview)},
        {"log", true, text(&BatchOptions::log)},
        {"timeout", true,
         [](BatchOptions& options, const QString& value) {
             const std::optional<double> seconds = parseNumber(value);
             // 0 would give up before any answer could come; "wait for ever" is no --timeout.
             if (!seconds || *seconds <= 0) return badValue(value);
             options.timeoutSeconds = *seconds;
             return QString();
         }},
        {"figure", true,
         [](BatchOptions& options, const QString& value) {
             const std::optional<int> figure = parseWholeNumber(value);
             if (!figure) return badValue(value);
             options.figure = *figure;
             return QString();
         }},
        {"labels", true, text(&BatchOptions::labels)},
        {"save", true, text(&BatchOptions::save)},
        {"export", true, text(&BatchOptions::exportPath)},
        {"interpolate", false, flag(&BatchOptions::interpolate)},
        {"force", false, flag(&BatchOptions::force)},
        {"return", false, flag(&BatchOptions::returnToStart)},
        {"probe", false, flag(&BatchOptions::probe)},
        {"grbl", false, flag(&BatchOptions::grbl)},
        {"error-at", true,
         [](BatchOptions& options, const QString& value) {
             const std::optional<int> line = parseWholeNumber(value);
             if (!line || *line < 1) return badValue(value);
             options.errorAtLine = *line;
             return QString();
         }},
        {"delay", true,
         [](BatchOptions& options, const QString& value) {
             const std::optional<int> delay = parseWholeNumber(value);
             if (!delay || *delay < 0) return badValue(value);
             options.delayMs = *delay;
             return QString();
         }},
        {"surface", true, text(&BatchOptions::surface)},
        {"surface-offset", true, optionalText(&BatchOptions::surfaceOffset)},
        {"relief", true, text(&BatchOptions::relief)},
        {"laser-mode", false, flag(&BatchOptions::laserMode)},
        {"resume", false, flag(&BatchOptions::resume)},
        {"from", true,
         [](BatchOptions& options, const QString& value) {
             const std::optional<int> number = parseWholeNumber(value);
             if (!number || *number < 1) return badValue(value);
             options.from = *number;
             return QString();
         }},
    };
    return specs;
}

const OptionSpec* findOption(QStringView name) {
    for (const OptionSpec& spec : optionSpecs()) {
        if (name == QLatin1String(spec.name)) return &spec;
    }
    return nullptr;
}

bool looksLikeOption(const QString& word) {
    return word.size() > 1 && word.startsWith(u'-');
}

// Reads the option words[i] ("--name", "--name=value" or "--name value", moving `i` past a value
// taken from the next word) into `options`; returns what is wrong with it, empty when nothing.
QString readOption(const QStringList& words, qsizetype& i, BatchOptions& options) {
    const QString& word = words[i];
    if (!word.startsWith(u"--")) return QStringLiteral("неизвестный параметр %1").arg(word);
    const qsizetype eq = word.indexOf(u'=');
    const QStringView name = QStringView(word).mid(2, eq < 0 ? -1 : eq - 2);
    const OptionSpec* spec = findOption(name);
    if (!spec) return QStringLiteral("неизвестный параметр %1").arg(word);
    QString value;
    if (!spec->takesValue) {
        if (eq >= 0) return QStringLiteral("параметр --%1 не принимает значения").arg(name);
    } else if (eq >= 0) {
        value = word.mid(eq + 1);
    } else if (i + 1 < words.size()) {
        value = words[++i];
    } else {
        return QStringLiteral("у параметра --%1 нет значения").arg(name);
    }
    const QString error = spec->set(options, value);
    return error.isEmpty() ? QString() : QStringLiteral("--%1: %2").arg(name, error);
}

}  // namespace

BatchParseResult parseBatchCommandLine(const QStringList& words) {
    BatchParseResult result;
    BatchCommandLine& line = result.commandLine;
    bool haveCommand = false;
    bool optionsEnded = false;
    bool help = false;
    bool version = false;
    const auto positional = [&](const QString& word) {
        if (haveCommand) {
            line.arguments << word;
        } else {
            line.command = word;
            haveCommand = true;
        }
    };

    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (optionsEnded || !looksLikeOption(word) ||
            (haveCommand && parseNumber(word).has_value())) {
            positional(word);
            continue;
        }
        if (word == u"--") {
            optionsEnded = true;
            continue;
        }
        if (word == u"--help") {
            help = true;
            continue;
        }
        if (word == u"--version") {
            version = true;
            continue;
        }
        const QString error = readOption(words, i, line.options);
        if (!error.isEmpty()) {
            result.error = error;
            return result;
        }
    }

    if (help) {
        result.request = BatchParseResult::Request::Help;
    } else if (version) {
        result.request = BatchParseResult::Request::Version;
    } else if (!haveCommand) {
        result.error = QStringLiteral("не указана команда");
    } else if (line.options.from && line.options.resume) {
        result.error = QStringLiteral(
            "--from и --resume вместе не задаются: --resume продолжает "
            "с места из журнала");
    } else if (line.options.from && line.command == u"scan") {
        // A scan has no numbered sections yet: every point would be skipped unmeasured.
        result.error = QStringLiteral("--from задаётся только для mill, outline и engrave");
    }
    return result;
}
