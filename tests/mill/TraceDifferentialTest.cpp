#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>

#include "app/config/ProgramSettings.h"
#include "figures/FigureAnalysis.h"
#include "link/protocol/MachineLink.h"
#include "link/serial/SerialDriver.h"
#include "mill/MillJobs.h"
#include "outline/OutlineJobs.h"
#include "tests/support/Fakes.h"
#include "tests/support/ReferenceTrace.h"
#include "tests/support/TestProgram.h"
#include "tests/support/TracePictures.h"

// The shared border tracer with both of its tools, the milling jobs with the cutter and the
// outlining jobs with the laser, against the literal tracing procedure on generated pictures:
// the same lines, the same answers awaited, the same marks, the same tool position and the same
// figures finished.

namespace {

// Every line sent costs the driver's 2 ms pause after a write, so the runs that send are kept
// to small pictures; dry runs, which compare the marks, the tool and the figures finished, go
// up to larger ones.
using Tool = ReferenceTracer::Tool;

struct Case {
    Tool tool;
    TracePicture kind;
    unsigned seed;
    bool output;
};

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    const char* kinds[] = {"NestedRings", "EdgePixels", "Speckle"};
    return std::string(info.param.tool == Tool::Cutter ? "Cutter_" : "Laser_") +
           kinds[int(info.param.kind)] + (info.param.output ? "_Sent_" : "_Dry_") +
           std::to_string(info.param.seed);
}

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const Tool tool : {Tool::Cutter, Tool::Laser}) {
        for (const TracePicture kind :
             {TracePicture::NestedRings, TracePicture::EdgePixels, TracePicture::Speckle}) {
            for (unsigned seed = 1; seed <= 6; ++seed) all.push_back({tool, kind, seed, true});
            for (unsigned seed = 1; seed <= 16; ++seed) all.push_back({tool, kind, seed, false});
        }
    }
    return all;
}

class TraceDifferential : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        testProgram().settings.values().StepRatioX = testProgram().settings.values().StepRatioY =
            testProgram().settings.values().StepRatioZ = 1.0;
        script = std::make_shared<PortScript>();
        script->perLine = {"OK\r\n"};
        testProgram().link.adopt(
            testProgram().driver.attach(std::make_unique<ScriptedTransport>(script)));
        host.timeoutMs = 1000;  // a wait with no answer due fails instead of hanging

        std::mt19937 random(GetParam().seed * 7919u + unsigned(GetParam().kind));
        const int largest = GetParam().output ? 12 : 40;
        const int width = std::uniform_int_distribution<int>(3, largest)(random);
        const int height = std::uniform_int_distribution<int>(3, largest)(random);
        picture = drawTracePicture(GetParam().kind, width, height, GetParam().seed);
        const int diameter = std::array{1, 2, 3, 4, 5}[GetParam().seed % 5];
        // One motor step per pixel and per level: the lines are the pixel moves themselves.
        host.fields[JobField::FinishedWidth] = QString::number(width);
        host.fields[JobField::Depth] = "255";
        host.fields[JobField::Diameter] = QString::number(diameter);
        host.output = GetParam().output;
        reference.output = host.output;
        reference.tool = GetParam().tool;
        if (reference.tool == Tool::Cutter) {
            reference.radius = diameter / 2.0;
            reference.reach = (diameter + 1) / 2;
        } else {
            reference.reach = 1;
        }
        protocol.emplace(reference.tool == Tool::Cutter ? MoveRules::Milling : MoveRules::Outlining,
                         host, testProgram().link, testProgram().settings.values());
        source = work = cutter = picture;
        analysis = ParseFigures(work);
        expectedLayer = picture;
        expectedAnalysis = analysis;
    }
    void TearDown() override {
        testProgram().link.close();
        testProgram().settings.values() = ProgramSettings();
    }
    QList<QByteArray> sent() const { return script->written; }
    void expectSameOutcome() {
        EXPECT_EQ(sent(), reference.lines);
        EXPECT_EQ(cutter, expectedLayer) << "the marks differ";
        EXPECT_EQ(tool.ToolX, reference.toolX);
        EXPECT_EQ(tool.ToolY, reference.toolY);
        EXPECT_EQ(script->delivered.count("OK"), reference.waits) << "answers awaited";
        EXPECT_TRUE(script->arrivals.isEmpty()) << "answers left for a later wait";
        EXPECT_TRUE(protocol->replyBuffer().isEmpty());
        EXPECT_EQ(host.sleeps.size(), host.output ? 0 : reference.steps);
    }

    PixelBuffer picture, source, work, cutter, expectedLayer;
    FigureAnalysis analysis, expectedAnalysis;
    CutterSize cutterSize;
    ToolPosition tool;
    FakeJobHost host;
    std::optional<MoveProtocol> protocol;
    std::shared_ptr<PortScript> script;
    ReferenceTracer reference;
};

TEST_P(TraceDifferential, SelectedFiguresOneAfterAnother) {
    MillJobs mill({source, work, cutter, analysis, cutterSize, tool}, host, *protocol);
    OutlineJobs outline({source, work, cutter, analysis, tool}, host, *protocol);
    int traced = 0;
    for (const TreeNode& node : expectedAnalysis.tree) {
        if (++traced > 12) break;
        if (reference.tool == Tool::Cutter) {
            mill.MillSelected(node.figure);
        } else {
            outline.EngraveSelected(node.figure);
        }
        reference.toolX = reference.toolY = 1;
        // Each outlining job starts on the picture alone; the cutter's marks stay (they are
        // levels for the next cut).
        if (reference.tool == Tool::Laser) expectedLayer = picture;
        reference.traceFigure(expectedAnalysis, expectedLayer, node.figure);
    }
    expectSameOutcome();
    EXPECT_EQ(mill.steps() + outline.steps(), reference.steps);
}

TEST_P(TraceDifferential, AllDarkFiguresDeepestFirst) {
    if (reference.tool == Tool::Cutter) {
        MillJobs({source, work, cutter, analysis, cutterSize, tool}, host, *protocol).MillAll();
    } else {
        OutlineJobs({source, work, cutter, analysis, tool}, host, *protocol).EngraveAllBorders();
    }
    reference.traceAll(expectedAnalysis, expectedLayer);
    expectSameOutcome();
    EXPECT_EQ(analysis.figures, expectedAnalysis.figures) << "the figures finished";
}

INSTANTIATE_TEST_SUITE_P(GeneratedPictures, TraceDifferential, ::testing::ValuesIn(cases()),
                         caseName);

}  // namespace
