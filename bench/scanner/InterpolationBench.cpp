#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "scanner/ScanInterpolation.h"

// The interpolated image of a 16 × 15 scan at a picture side of `range(0)` pixels: the
// whole-image routine (weights once per column and row) against InterpolateAt called for every
// pixel, as the literal procedure does.

namespace {

HeightMap randomMap() {
    std::mt19937 random(3);
    HeightMap map = HeightMap::zeros(16, 15);
    for (qint32& v : map.values) v = int(random() % 256);
    return map;
}

void BM_InterpolateImage(benchmark::State& state) {
    const HeightMap map = randomMap();
    const ImageExtent image{double(state.range(0)), double(state.range(0))};
    for (auto _ : state) benchmark::DoNotOptimize(InterpolateImage(map, image).heights.data());
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

void BM_InterpolateAtEveryPixel(benchmark::State& state) {
    const HeightMap map = randomMap();
    const int side = int(state.range(0));
    const ImageExtent image{double(side), double(side)};
    std::vector<std::uint8_t> out(std::size_t(side + 1) * (side + 1));
    for (auto _ : state) {
        for (int x = 0; x <= side; ++x)
            for (int y = 0; y <= side; ++y)
                out[std::size_t(y) * (side + 1) + x] =
                    std::uint8_t(std::clamp(InterpolateAt(map, image, x, y), 0, 255));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}

}  // namespace

BENCHMARK(BM_InterpolateImage)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterpolateAtEveryPixel)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);
