#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <random>

#include "scanner/ScanFiles.h"

// The STL export of a 16 × 15 scan at an image side of `range(0)` pixels (8000: 128 million
// triangles, a 6.4 GB file, as `scan --interpolate --image 8000,8000 --export s.stl --force`
// writes it), written to a temporary folder beside the build. Counters: the file's size and
// the process's peak memory (VmHWM, from getrusage), which must stay far below the file's.

namespace {

ScanRecord randomRecord() {
    std::mt19937 random(5);
    ScanRecord record;
    record.map = HeightMap::zeros(16, 15);
    for (qint32& v : record.map.values) v = int(random() % 256);
    record.samples = record.map;
    record.pitchXmm = 5;
    record.pitchYmm = 5;
    return record;
}

void BM_WriteScanStl(benchmark::State& state) {
    const ScanRecord record = randomRecord();
    const double side = double(state.range(0));
    QTemporaryDir dir(QStringLiteral("stl-bench-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("s.stl"));
    for (auto _ : state) {
        const QString error = WriteScanStl(record, {side, side}, 10, path);
        if (!error.isEmpty()) state.SkipWithError(qUtf8Printable(error));
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024;
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

}  // namespace

BENCHMARK(BM_WriteScanStl)->Arg(1000)->Arg(8000)->Iterations(1)->Unit(benchmark::kSecond);
