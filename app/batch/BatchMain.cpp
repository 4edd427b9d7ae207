#include "app/batch/BatchMain.h"

#include <QFileInfo>

#include "Version.h"
#include "app/Program.h"
#include "app/batch/BatchCommands.h"
#include "app/batch/BatchOutput.h"
#include "app/batch/BatchParser.h"
#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/JobJournal.h"
#include "scanner/ScanFiles.h"

namespace {

const BatchCommandEntry* findCommand(const QString& name) {
    for (const BatchCommandEntry& entry : kBatchCommands) {
        if (name == QLatin1String(entry.name)) return &entry;
    }
    return nullptr;
}

}  // namespace

QString batchUsage() {
    QString usage = QStringLiteral(
        "Использование:\n"
        "  cnc\n      открыть главное окно\n"
        "  cnc --version\n      версия программы\n"
        "  cnc --help\n      эта справка\n");
    for (const BatchCommandEntry& entry : kBatchCommands) {
        usage += QStringLiteral("  cnc [ПАРАМЕТРЫ] %1\n      %2\n")
                     .arg(QString::fromUtf8(entry.synopsis), QString::fromUtf8(entry.description));
    }
    usage += QStringLiteral(
        "\nПараметры можно указывать до и после команды; после команды слово вида -1 или -0,5 —\n"
        "это число, а не параметр; \"--\" заканчивает параметры.\n"
        "  --config FILE     файл настроек (по умолчанию cnc.ini, см. «Файлы» ниже)\n"
        "  --port NAME       последовательный порт, sim или sim:probe (по умолчанию ключ Port);\n"
        "                    gcode:ФАЙЛ пишет работу G-кодом, grbl:УСТРОЙСТВО — контроллер GRBL\n"
        "  --dry-run         ничего не отправлять и не ждать ответов\n"
        "  --width MM        ширина готового изображения\n"
        "  --depth MM        глубина фрезерования\n"
        "  --diameter MM     диаметр фрезы\n"
        "  --mesh W,H        число точек сетки сканера\n"
        "  --area MM         ширина области сканирования\n"
        "  --image W,H       размер картинки сканера в пикселях\n"
        "  --preview FILE    в конце записать слой с результатом (PNG или BMP)\n"
        "  --return          после сканирования вернуть щуп в первую точку сетки\n"
        "  --interpolate     после сканирования интерполировать карту высот\n"
        "  --save FILE       записать картинку сканера в BMP\n"
        "  --export FILE     записать скан в CSV или STL (по расширению)\n"
        "  --force           записать STL и тогда, когда он больше 1 ГБ\n"
        "  --relief FILE     записать интерполированную поверхность полутоновой картинкой\n"
        "  --surface FILE    mill, outline, engrave: вести инструмент по карте высот из CSV\n"
        "                    сканера (лазер — только на портах G-кода);\n"
        "                    serve-sim --grbl: плоскость Z0,GX,GY для щупа\n"
        "  --surface-offset X,Y  начало работы на карте высот, мм от её первой точки\n"
        "  --log FILE        записать обмен с контроллером\n"
        "  --timeout S       сдаться, если ответ не пришёл за S секунд (по умолчанию ключ\n"
        "                    port_timeout, 120 с)\n"
        "  --resume          продолжить работу из журнала cnc.journal (та же командная строка):\n"
        "                    выполненные строки не отправляются, инструмент подводится безопасно\n"
        "  --from N          mill, outline: начать с фигуры N (номер в дереве фигур);\n"
        "                    engrave: со строки картинки N; строки до неё не отправляются,\n"
        "                    инструмент подводится от начала работы безопасно\n"
        "\nКоды завершения: 0 — выполнено, 1 — отказ или ошибка, 2 — неверная командная строка.\n");
    usage += QStringLiteral(
                 "\nФайлы:\n"
                 "  %1\n      настройки (если не задан --config)\n"
                 "  %2\n      картинка сканера; рядом и другие файлы, которые пишет программа\n"
                 "  %4\n      журнал идущей работы (для --resume)\n"
                 "  %3\n      картинки по умолчанию (ornament.bmp, gepard2.jpg)\n")
                 .arg(DefaultConfigPath(), ProgramFilePath(QLatin1String(kScanImageFile)),
                      PictureDirectory(), journalPathFor(DefaultConfigPath()));
    return usage;
}

QString batchConfigPath(const BatchOptions& options) {
    return options.configPath.isEmpty() ? DefaultConfigPath() : options.configPath;
}

QString loadBatchSettings(Program& program, const BatchOptions& options) {
    ProgramSettings& settings = program.settings.values();
    const QString warning = loadProgramSettings(program.config, settings);
    if (options.port) settings.PortName = *options.port;
    return warning;
}

int runBatch(const QStringList& words) {
    const BatchParseResult parsed = parseBatchCommandLine(words);
    if (!parsed.error.isEmpty()) return badCommandLine(parsed.error);
    switch (parsed.request) {
        case BatchParseResult::Request::Help:
            printOut(batchUsage());
            return kExitDone;
        case BatchParseResult::Request::Version:
            printOut(QStringLiteral("cnc %1\n").arg(QLatin1String(kVersionText)));
            return kExitDone;
        case BatchParseResult::Request::Run:
            break;
    }

    const BatchCommandLine& line = parsed.commandLine;
    const BatchCommandEntry* command = findCommand(line.command);
    if (!command) return badCommandLine(QStringLiteral("неизвестная команда %1").arg(line.command));

    // A mistyped --config must not run the machine on default step ratios and port.
    if (!line.options.configPath.isEmpty()) {
        const QFileInfo config(line.options.configPath);
        if (!config.isFile()) {
            printError((config.isDir() ? QStringLiteral("Файл настроек %1 — это каталог\n")
                                       : QStringLiteral("Файл настроек %1 не найден\n"))
                           .arg(line.options.configPath));
            return kExitFailed;
        }
    }
    if (line.options.configPath.isEmpty()) CreateProgramConfigFile();
    Program program(batchConfigPath(line.options));
    const QString warning = loadBatchSettings(program, line.options);
    if (!warning.isEmpty()) printError(warning + u'\n');
    return command->run(line, program.context());
}
