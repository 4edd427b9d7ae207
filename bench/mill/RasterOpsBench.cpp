#include <benchmark/benchmark.h>

#include "mill/RasterOps.h"
#include "tests/support/MillPictures.h"
#include "tests/support/ReferenceRasterOps.h"

// The gradient and the offset against the literal procedures at 1024 × 1024 with radius 10, and
// the fast routines alone on a 4096 × 4096 picture with radius 25. As in the window, the work
// layer already exists: the gradient rewrites it, the offset works on it in place (the input is
// restored between runs, untimed).

namespace {

const PixelBuffer& picture(int size) {
    static const PixelBuffer small = drawPicture(PictureKind::Shapes, 1024, 1024, 4, 1);
    static const PixelBuffer large = drawPicture(PictureKind::Shapes, 4096, 4096, 4, 1);
    return size == 1024 ? small : large;
}

void GradientFast(benchmark::State& state) {
    const PixelBuffer& source = picture(int(state.range(0)));
    const int radius = int(state.range(1));
    PixelBuffer work = source;
    for (auto _ : state) benchmark::DoNotOptimize(MarkGradient(source, work, radius, radius));
}

void OffsetFast(benchmark::State& state) {
    const PixelBuffer& input = picture(int(state.range(0)));
    const int radius = int(state.range(1));
    PixelBuffer work = input;
    for (auto _ : state) {
        state.PauseTiming();
        work = input;
        state.ResumeTiming();
        benchmark::DoNotOptimize(OffsetFigures(work, radius, radius));
    }
}

void GradientReference(benchmark::State& state) {
    const PixelBuffer& source = picture(int(state.range(0)));
    const int radius = int(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(referenceMarkGradient(source, radius, radius));
}

void OffsetReference(benchmark::State& state) {
    const PixelBuffer& input = picture(int(state.range(0)));
    const int radius = int(state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(referenceOffsetFigures(input, radius, radius));
}

}  // namespace

// Wall time decides the targets; the CPU column counts both threads' time.
BENCHMARK(GradientFast)
    ->Args({1024, 10})
    ->Args({4096, 25})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(GradientReference)->Args({1024, 10})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(OffsetFast)
    ->Args({1024, 10})
    ->Args({4096, 25})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(OffsetReference)->Args({1024, 10})->Iterations(1)->Unit(benchmark::kMillisecond);
