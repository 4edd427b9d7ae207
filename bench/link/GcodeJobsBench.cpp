#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <thread>

#include "app/config/ConfigKeys.h"
#include "app/config/ProgramSettings.h"
#include "bench/link/BenchHost.h"
#include "engrave/PictureEngraving.h"
#include "figures/FigureAnalysis.h"
#include "figures/PictureLayers.h"
#include "link/gcode/GcodeStream.h"
#include "link/gcode/GrblTransport.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/serial/SerialDriver.h"
#include "link/virtual/GrblSimServer.h"
#include "mill/MillJobs.h"
#include "outline/OutlineJobs.h"
#include "tests/support/TestProgram.h"

// The G-code of the program's pictures: lines and bytes per job with and without joining the
// moves that go on the same way (the ornament's "mill all" and "outline filled", gepard2.jpg's
// engraving, at the windows' default sizes), and how long the joined "mill all" takes to stream
// to the virtual GRBL carrying out each planner block in 2 ms (`serve-sim --grbl --delay 2`).

namespace {

const QString kPictures = QStringLiteral(CNC_PICTURE_DIR);

// A port that translates every line and answers it at once, counting the G-code.
class CountingPort final : public SerialTransport {
public:
    explicit CountingPort(bool merging) : m_stream(testProgram().settings.values()) {
        m_stream.translator().setMerging(merging);
    }
    qint64 write(const QByteArray& bytes) override {
        for (const GcodeStream::Taken& taken : m_stream.take(bytes)) {
            if (taken.step) count(taken.step->lines);
            m_replies += "OK\r\n";
        }
        return bytes.size();
    }
    void readAvailable(QByteArray& into) override { into += std::exchange(m_replies, {}); }
    void describeLine(const LineMeaning& meaning) override { m_stream.setMeaning(meaning); }
    void endJob() override { count(m_stream.translator().finish()); }
    bool pausesAfterWrite() const override { return false; }

    std::int64_t lines = 0;
    std::int64_t bytes = 0;

private:
    void count(const QList<QByteArray>& gcode) {
        lines += gcode.size();
        for (const QByteArray& line : gcode) bytes += line.size() + 1;
    }

    GcodeStream m_stream;
    QByteArray m_replies;
};

// The windows' default fields, no pauses.
class DefaultsHost final : public JobHost {
public:
    bool outputEnabled() const override { return true; }
    QString fieldText(JobField field) const override {
        switch (field) {
            case JobField::Depth:
                return QString::fromUtf8(kMillDepthKey.defaultText);
            case JobField::Diameter:
                return QString::fromUtf8(kMillDiameterKey.defaultText);
            case JobField::FinishedWidth:
                break;
        }
        return QString::fromUtf8(kMillWidthKey.defaultText);
    }
    void redraw(const QRect&) override {}
    void letEventsRun() override {}
    void sleepMs(int) override {}
    StopLevel stopLevel() const override { return StopLevel::None; }
    void reportProgress(const JobProgress&) override {}
    void showMessage(const MessageTitle&, const QString&) override {}
};

using Job = std::function<void(JobHost&, MoveProtocol&)>;

void millAll(JobHost& host, MoveProtocol& protocol) {
    PictureLoadResult picture = loadPictureLayers(kPictures + QStringLiteral("/ornament.bmp"));
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    CutterSize size;
    ToolPosition tool;
    MillJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, size, tool},
                  host, protocol);
    jobs.MillAll();
}

void outlineFilled(JobHost& host, MoveProtocol& protocol) {
    PictureLoadResult picture = loadPictureLayers(kPictures + QStringLiteral("/ornament.bmp"));
    PictureLayers& layers = picture.layers;
    FigureAnalysis analysis = ParseFigures(layers.WorkLayer);
    ToolPosition tool;
    OutlineJobs jobs({layers.SourceLayer, layers.WorkLayer, layers.CutterLayer, analysis, tool},
                     host, protocol);
    jobs.EngraveAllFilled();
}

void engraveGepard(JobHost& host, MoveProtocol& protocol) {
    PictureFileResult file = loadPictureFile(kPictures + QStringLiteral("/gepard2.jpg"));
    EngravePicture(file.picture, host, protocol);
}

// The settings of a fresh installation: 0.005 mm per step on every axis.
void useDefaultSettings() {
    testProgram().settings.values() = ProgramSettings{};
}

// One job through the counting port; the counters are the G-code it became.
void GcodeOfJob(benchmark::State& state, MoveRules window, const Job& job) {
    ensureApplication();
    useDefaultSettings();
    const bool merging = state.range(0) != 0;
    for (auto _ : state) {
        auto port = std::make_unique<CountingPort>(merging);
        CountingPort* counting = port.get();
        MachineLink link{testProgram().portKinds, testProgram().settings.values()};
        link.adopt(testProgram().driver.attach(std::move(port)));
        DefaultsHost host;
        MoveProtocol protocol(window, host, link, testProgram().settings.values());
        job(host, protocol);
        testProgram().driver.endJob(link.PortHandle());
        state.counters["move_lines"] = protocol.linesSent();
        state.counters["gcode_lines"] = double(counting->lines);
        state.counters["gcode_bytes"] = double(counting->bytes);
        link.close();
    }
}

void MillAllGcode(benchmark::State& state) {
    GcodeOfJob(state, MoveRules::Milling, millAll);
}
void OutlineFilledGcode(benchmark::State& state) {
    GcodeOfJob(state, MoveRules::Outlining, outlineFilled);
}
void EngraveGepardGcode(benchmark::State& state) {
    GcodeOfJob(state, MoveRules::Engraving, engraveGepard);
}
// Argument 0: every move its own line; 1: joined.
BENCHMARK(MillAllGcode)->ArgName("merged")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(OutlineFilledGcode)
    ->ArgName("merged")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(EngraveGepardGcode)
    ->ArgName("merged")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The joined "mill all" streamed through the grbl: port to the virtual GRBL on a
// pseudo-terminal, from the first line until the port has closed after the last "ok".
void MillAllToVirtualGrbl(benchmark::State& state) {
    ensureApplication();
    useDefaultSettings();
    const ProgramSettings& settings = testProgram().settings.values();
    GrblSimServer server({settings.StepRatioX, settings.StepRatioY, settings.StepRatioZ},
                         settings.Gcode.HeightRange, int(state.range(0)));
    ServedInBackground serving(server);
    if (!serving.ready()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    for (auto _ : state) {
        auto port = std::make_unique<GrblTransport>(testProgram().settings.values());
        if (port->open(server.devicePath()) != 0) {
            state.SkipWithError("the grbl: port did not open");
            break;
        }
        MachineLink link{testProgram().portKinds, testProgram().settings.values()};
        link.adopt(testProgram().driver.attach(std::move(port)));
        DefaultsHost host;
        MoveProtocol protocol(MoveRules::Milling, host, link, testProgram().settings.values());
        millAll(host, protocol);
        testProgram().driver.endJob(link.PortHandle());
        link.close();
    }
    serving.stop();
    state.counters["gcode_lines"] = double(server.grbl().lines().size());
}
BENCHMARK(MillAllToVirtualGrbl)
    ->ArgName("delay_ms")
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
