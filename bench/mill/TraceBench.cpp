#include <benchmark/benchmark.h>

#include "figures/FigureAnalysis.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "mill/MillJobs.h"
#include "mill/WorkLayerOps.h"
#include "tests/support/ReferenceTrace.h"
#include "tests/support/TestProgram.h"
#include "tests/support/TracePictures.h"

namespace {

// A dry run with nothing to wait for: no pause, no window, no controller.
class SilentHost final : public JobHost {
public:
    bool outputEnabled() const override { return false; }
    QString fieldText(JobField field) const override {
        switch (field) {
            case JobField::FinishedWidth:
                return QStringLiteral("4096");
            case JobField::Depth:
                return QStringLiteral("10");
            case JobField::Diameter:
                return m_diameter;
        }
        return {};
    }
    void redraw(const QRect&) override {}
    void letEventsRun() override {}
    void sleepMs(int) override {}
    StopLevel stopLevel() const override { return StopLevel::None; }
    void reportProgress(const JobProgress&) override {}
    void showMessage(const MessageTitle&, const QString&) override {}
    QString m_diameter;
};

// A comb: one dark figure with `teeth` long teeth hanging from a bar, so its border is long.
PixelBuffer comb(int size, int teeth) {
    PixelBuffer picture = PixelBuffer::white(size, size);
    const int pitch = (size - 20) / teeth;
    for (int y = 10; y <= 20; ++y)
        for (int x = 10; x <= size - 10; ++x) picture.paint(x, y, 0, 0, 0);
    for (int t = 0; t < teeth; ++t) {
        for (int y = 21; y <= size - 10; ++y)
            for (int x = 10 + t * pitch; x < 10 + t * pitch + pitch / 2; ++x)
                picture.paint(x, y, 0, 0, 0);
    }
    return picture;
}

// The per-step cost of a trace: follows the comb's outer border, drawing the cutter's disc.
void BM_TraceCombBorder(benchmark::State& state) {
    const int size = int(state.range(0));
    const PixelBuffer picture = comb(size, 32);
    PixelBuffer source = picture, work = picture;
    FigureAnalysis analysis = ParseFigures(work);
    const std::int32_t figure = analysis.labels.at(10, 10);
    SilentHost host;
    host.m_diameter = QString::number(state.range(1));  // mm = pixels at this width
    MachineLink link{testProgram().portKinds,
                     testProgram().settings.values()};  // no port: a dry run
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    std::int64_t steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PixelBuffer cutter = picture;
        CutterSize cutterSize;
        ToolPosition tool;
        MillJobs jobs({source, work, cutter, analysis, cutterSize, tool}, host, protocol);
        state.ResumeTiming();
        jobs.MillSelected(figure);
        steps += jobs.steps();
    }
    state.counters["steps"] = benchmark::Counter(
        double(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TraceCombBorder)
    ->Args({1024, 3})
    ->Args({4096, 3})
    ->Args({4096, 20})
    ->Unit(benchmark::kMillisecond);

// The steps of a job counted before it starts, for its time left: the comb's border walked
// without moving, drawing or sending anything. Compare the time per step with the trace's.
void BM_CountCombSteps(benchmark::State& state) {
    const int size = int(state.range(0));
    PixelBuffer work = comb(size, 32);
    const FigureAnalysis analysis = ParseFigures(work);
    const std::int32_t figure = analysis.labels.at(10, 10);
    std::int64_t steps = 0;
    for (auto _ : state) steps += figureSteps(analysis, BorderStarts(analysis.labels), figure);
    state.counters["steps"] = benchmark::Counter(
        double(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CountCombSteps)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// "Резать 3D" as a silent dry run, against its plan alone (every ring's offset and parse run
// once more on copies, and its borders counted): what planning adds to the job.
void cut3dComb(benchmark::State& state, bool planOnly) {
    const PixelBuffer picture = comb(int(state.range(0)), 8);
    SilentHost host;
    host.m_diameter = QString::number(4096.0 * 8 / double(picture.width));  // an 8 px cutter
    MachineLink link{testProgram().portKinds, testProgram().settings.values()};
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    for (auto _ : state) {
        state.PauseTiming();
        PixelBuffer source = picture, work = picture, cutter = picture;
        FigureAnalysis analysis = ParseFigures(work);
        CutterSize cutterSize;
        ToolPosition tool;
        if (planOnly) {
            // The plan starts where the job's rings do: after the gradient and its parse.
            markGradientFromFields(host.m_diameter, QStringLiteral("4096"), source, work, analysis,
                                   cutterSize);
            ParseFigures(work, analysis);
        }
        state.ResumeTiming();
        if (!planOnly) {
            MillJobs({source, work, cutter, analysis, cutterSize, tool}, host, protocol).Cut3D();
            continue;
        }
        benchmark::DoNotOptimize(ringSteps(work, analysis, [&](PixelBuffer& w, FigureAnalysis& a) {
            return offsetFiguresFromFields(host.m_diameter, QStringLiteral("4096"), w, a).changed;
        }));
    }
}
void BM_Cut3dCombJob(benchmark::State& state) {
    cut3dComb(state, false);
}
void BM_Cut3dCombPlan(benchmark::State& state) {
    cut3dComb(state, true);
}
BENCHMARK(BM_Cut3dCombJob)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cut3dCombPlan)->Arg(512)->Unit(benchmark::kMillisecond);

// What a job costs before its first step (finding the border starts, the level copy): a
// one-pixel figure, whose trace is two steps, on a picture of the given size.
void BM_JobSetupOnePixelFigure(benchmark::State& state) {
    const int size = int(state.range(0));
    PixelBuffer picture = PixelBuffer::white(size, size);
    picture.paint(size / 2, size / 2, 0, 0, 0);
    PixelBuffer source = picture, work = picture;
    FigureAnalysis analysis = ParseFigures(work);
    SilentHost host;
    host.m_diameter = QStringLiteral("3");
    MachineLink link{testProgram().portKinds,
                     testProgram().settings.values()};  // no port: a dry run
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    for (auto _ : state) {
        PixelBuffer cutter = picture;
        CutterSize cutterSize;
        ToolPosition tool;
        MillJobs jobs({source, work, cutter, analysis, cutterSize, tool}, host, protocol);
        jobs.MillSelected(2);
    }
}
BENCHMARK(BM_JobSetupOnePixelFigure)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// "Все" as a dry run on speckle (many small figures): the tracer, which finds every border
// start in one pass, against the literal procedure, which scans the picture for each border
// and the label grid once per depth.
void traceAllSpeckle(benchmark::State& state, bool literal) {
    const int size = int(state.range(0));
    const PixelBuffer picture = drawTracePicture(TracePicture::Speckle, size, size, 1);
    PixelBuffer source = picture, work = picture;
    const FigureAnalysis parsed = ParseFigures(work);
    SilentHost host;
    host.m_diameter = QString::number(3.0 * 4096 / size);  // a 3 px cutter: radius 1.5
    MachineLink link{testProgram().portKinds, testProgram().settings.values()};
    MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
    for (auto _ : state) {
        state.PauseTiming();
        PixelBuffer cutter = picture;
        FigureAnalysis analysis = parsed;
        CutterSize cutterSize;
        ToolPosition tool;
        state.ResumeTiming();
        if (literal) {
            ReferenceTracer reference;
            reference.output = false;
            reference.radius = 1.5;
            reference.reach = 2;
            reference.traceAll(analysis, cutter);
        } else {
            MillJobs({source, work, cutter, analysis, cutterSize, tool}, host, protocol).MillAll();
        }
    }
    state.counters["figures"] = double(parsed.tree.size());
}
void BM_AllSpeckleFast(benchmark::State& state) {
    traceAllSpeckle(state, false);
}
void BM_AllSpeckleReference(benchmark::State& state) {
    traceAllSpeckle(state, true);
}
BENCHMARK(BM_AllSpeckleFast)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllSpeckleReference)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace
