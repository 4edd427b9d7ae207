#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cmath>
#include <memory>

#include "engrave/PictureEngraving.h"
#include "figures/ui/LayerView.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "tests/support/TestProgram.h"

// The per-pixel cost of a dry engraving with its redraw, at picture sizes from 64² to 4000²:
// it must not grow with the picture. The literal procedure, a copy of the whole picture per
// burnt pixel, runs beside it at the small sizes, where it can finish.

namespace {

// A photo-like picture: shading and texture, every pixel to burn.
PixelBuffer photo(int size) {
    PixelBuffer picture = PixelBuffer::white(size, size);
    for (int y = 1; y <= size; ++y)
        for (int x = 1; x <= size; ++x) {
            const auto v = std::uint8_t(120 + 100 * std::sin(x * 0.01) * std::cos(y * 0.013) +
                                        (x * 31 + y * 17) % 23);
            picture.paint(x, y, v, v, v);
        }
    return picture;
}

// A dry run in a window: redraws go to a real picture box on the offscreen platform, and the
// events (its repaints) run when the job lets them.
class WindowlikeHost final : public JobHost {
public:
    explicit WindowlikeHost(LayerView* view) : m_view(view) {}
    bool outputEnabled() const override { return false; }
    QString fieldText(JobField) const override { return QStringLiteral("200"); }
    void redraw(const QRect& changed) override {
        if (m_view) m_view->redraw(changed);
    }
    void letEventsRun() override { QCoreApplication::processEvents(); }
    void sleepMs(int) override {}
    StopLevel stopLevel() const override { return StopLevel::None; }
    void reportProgress(const JobProgress&) override {}
    void showMessage(const MessageTitle&, const QString&) override {}

private:
    LayerView* m_view;
};

QApplication& application() {
    static int argc = 1;
    static char name[] = "engrave_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

void BM_EngraveDryInWindow(benchmark::State& state) {
    application();
    const int size = int(state.range(0));
    const PixelBuffer original = photo(size);
    LayerView view("Pict", nullptr);
    view.resize(size + 4, size + 4);
    view.show();
    WindowlikeHost host(&view);
    MoveProtocol protocol(MoveRules::Engraving, host, testProgram().link,
                          testProgram().settings.values());
    std::int64_t pixels = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PixelBuffer picture = original;
        view.setLayer(&picture);
        view.setDrawSize({size, size});
        QCoreApplication::processEvents();
        state.ResumeTiming();
        EngravePicture(picture, host, protocol);
        pixels += std::int64_t(size) * size;
        view.setLayer(nullptr);
    }
    state.SetItemsProcessed(pixels);
    state.counters["time_per_pixel"] = benchmark::Counter(
        double(pixels), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EngraveDryInWindow)
    ->Arg(64)
    ->Arg(128)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The literal procedure: after every burnt pixel the whole picture is copied back and redrawn
// (here: copied, which is the least of what a redraw of the whole picture costs).
void BM_EngraveLiteralReference(benchmark::State& state) {
    const int size = int(state.range(0));
    const PixelBuffer original = photo(size);
    std::int64_t pixels = 0;
    for (auto _ : state) {
        PixelBuffer bitmap = original;
        for (int y = 1; y <= size; ++y)
            for (int i = 1; i <= size; ++i) {
                const int x = y % 2 == 1 ? i : size + 1 - i;
                if (bitmap.first(x, y) == 255) continue;
                PixelBuffer buffer = bitmap;
                buffer.pixel(x, y)[2] = 255;
                bitmap = buffer;
            }
        benchmark::DoNotOptimize(bitmap.bytes.data());
        pixels += std::int64_t(size) * size;
    }
    state.SetItemsProcessed(pixels);
    state.counters["time_per_pixel"] = benchmark::Counter(
        double(pixels), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EngraveLiteralReference)
    ->Arg(64)
    ->Arg(128)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
