#include <benchmark/benchmark.h>

#include <map>
#include <utility>

#include "figures/FigureAnalysis.h"
#include "tests/support/FigurePictures.h"
#include "tests/support/ReferenceParse.h"

// ParseFigures against the plain procedure on the same pictures, and ParseFigures alone on
// large ones. Pictures: "ornament" is a grid of 32-pixel motifs of nested rings, dots and
// bridges (about 100,000 figures at 4096 × 4096); "noise" has every pixel dark or light at
// random, half and half.

namespace {

enum Kind { kOrnament, kNoise };

const PixelBuffer& picture(Kind kind, int size) {
    static std::map<std::pair<Kind, int>, PixelBuffer> cache;
    auto [it, added] = cache.try_emplace({kind, size});
    if (added)
        it->second = kind == kOrnament ? motifTiles(size, 32) : noisePicture(size, size, 0.5, 1);
    return it->second;
}

void describe(benchmark::State& state, const PixelBuffer& work, const FigureAnalysis& result) {
    std::int64_t inUse = 0;
    for (const FigureRecord& figure : result.figures) inUse += figure.State == kInUse;
    state.counters["figures"] = double(inUse);
    state.counters["pairs"] = result.pairCount;
    state.counters["Mpixel/s"] = benchmark::Counter(double(work.width) * work.height * 1e-6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ParseFigures(benchmark::State& state, Kind kind) {
    const PixelBuffer& work = picture(kind, int(state.range(0)));
    FigureAnalysis result;
    for (auto _ : state) {
        result = ParseFigures(work);
        benchmark::DoNotOptimize(result.labels.cells().data());
    }
    describe(state, work, result);
}

// The jobs parse again into the same analysis; the label grid is then not allocated again.
void BM_ParseFiguresReusingTables(benchmark::State& state, Kind kind) {
    const PixelBuffer& work = picture(kind, int(state.range(0)));
    FigureAnalysis result;
    for (auto _ : state) {
        ParseFigures(work, result);
        benchmark::DoNotOptimize(result.labels.cells().data());
    }
    describe(state, work, result);
}

void BM_ReferenceParse(benchmark::State& state, Kind kind) {
    const PixelBuffer& work = picture(kind, int(state.range(0)));
    FigureAnalysis result;
    for (auto _ : state) {
        result = ReferenceParse(work);
        benchmark::DoNotOptimize(result.labels.cells().data());
    }
    describe(state, work, result);
}

}  // namespace

BENCHMARK_CAPTURE(BM_ParseFigures, ornament, kOrnament)
    ->Arg(512)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseFigures, noise, kNoise)
    ->Arg(512)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseFiguresReusingTables, ornament, kOrnament)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseFiguresReusingTables, noise, kNoise)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReferenceParse, ornament, kOrnament)
    ->Arg(512)
    ->Arg(1024)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReferenceParse, noise, kNoise)
    ->Arg(512)
    ->Arg(1024)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
