#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>

#include "app/config/ProgramSettings.h"
#include "bench/link/BenchHost.h"
#include "link/gcode/GrblTransport.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/serial/SerialDriver.h"
#include "link/virtual/GrblSimServer.h"
#include "tests/support/TestProgram.h"

// Milling move lines per second through the grbl: port to the virtual GRBL on a pseudo-terminal
// (what `cnc serve-sim --grbl` runs), with character counting against stop-and-wait, in one
// run. `blockMs` is how long the virtual GRBL takes to carry out one planner block.

namespace {

void LinesToVirtualGrbl(benchmark::State& state, GrblTransport::Flow flow) {
    ensureApplication();
    testProgram().settings.values().StepRatioX = testProgram().settings.values().StepRatioY =
        testProgram().settings.values().StepRatioZ = 0.005;
    GrblSimServer server({0.005, 0.005, 0.005}, 5, int(state.range(0)));
    ServedInBackground serving(server);
    if (!serving.ready()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    {
        auto port = std::make_unique<GrblTransport>(testProgram().settings.values(), flow);
        if (port->open(server.devicePath()) != 0) {
            state.SkipWithError("the grbl: port did not open");
        } else {
            MachineLink link{testProgram().portKinds, testProgram().settings.values()};
            link.adopt(testProgram().driver.attach(std::move(port)));
            TimedHost host;
            MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
            int i = 0;
            // A cutter going round a square, one short G1 per line.
            for (auto _ : state) {
                protocol.sendLine((i & 64) ? 83 : -83, (i & 32) ? 83 : -83, 0, true);
                ++i;
            }
            state.SetItemsProcessed(state.iterations());
            link.close();
        }
    }
}

void CharacterCounting(benchmark::State& state) {
    LinesToVirtualGrbl(state, GrblTransport::Flow::CharacterCounting);
}
void StopAndWait(benchmark::State& state) {
    LinesToVirtualGrbl(state, GrblTransport::Flow::StopAndWait);
}
BENCHMARK(CharacterCounting)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(StopAndWait)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
