#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>

#include "app/config/ProgramSettings.h"
#include "bench/link/BenchHost.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/serial/SerialDriver.h"
#include "link/virtual/SimServer.h"
#include "tests/support/TestProgram.h"

// Move lines per second with their "OK" awaited, as a job sends them: through the virtual
// controller on a pseudo-terminal (what `cnc serve-sim` runs), and through the one inside the
// program. The 2 ms pause after every write bounds both near 400 to 500 lines a second.

namespace {

void sendLines(benchmark::State& state, const QString& port) {
    MachineLink link{testProgram().portKinds, testProgram().settings.values()};
    link.open(port);
    TimedHost host;
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    for (auto _ : state) protocol.sendLine(1, -1, 0, true);
    state.SetItemsProcessed(state.iterations());
}

void LinesThroughServeSim(benchmark::State& state) {
    ensureApplication();
    SimServer server(false, 0);
    ServedInBackground serving(server);
    if (!serving.ready()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    sendLines(state, server.devicePath());
}
BENCHMARK(LinesThroughServeSim)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void LinesThroughSim(benchmark::State& state) {
    sendLines(state, QStringLiteral("sim"));
}
BENCHMARK(LinesThroughSim)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
