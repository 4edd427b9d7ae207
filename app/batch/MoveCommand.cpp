#include "app/batch/BatchCommands.h"
#include "app/batch/BatchJobHost.h"
#include "app/batch/BatchOutput.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"

int runMoveCommand(const BatchCommandLine& commandLine, ProgramContext& program) {
    if (commandLine.arguments.size() != 3) {
        return badCommandLine(QStringLiteral("команде move нужны три числа: DX DY DZ (мм)"));
    }
    const char* const words[] = {"DX", "DY", "DZ"};
    double millimetres[3] = {};
    for (int axis = 0; axis < 3; ++axis) {
        const std::optional<double> value = parseNumber(commandLine.arguments[axis]);
        if (!value) {
            return badCommandLine(
                QStringLiteral("move: %1 «%2» — не число (мм)")
                    .arg(QLatin1String(words[axis]), commandLine.arguments[axis]));
        }
        millimetres[axis] = *value;
    }
    BatchJobHost host(commandLine.options, program.settings.values());
    // The manual panel is the same in every window; the milling window's rules serve.
    return runBatchJob(program, commandLine.options, host, MoveRules::Milling,
                       [&](JobHost&, MoveProtocol& protocol) {
                           protocol.ArduinoMoveMM(millimetres[0], millimetres[1], millimetres[2]);
                       });
}
