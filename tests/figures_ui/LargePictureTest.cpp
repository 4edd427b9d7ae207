#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <ctime>
#include <iostream>

#include "figures/ui/FigureWorkspace.h"
#include "figures/ui/PictureViews.h"
#include "tests/app/ConfigTestSupport.h"
#include "tests/figures_ui/PictureFiles.h"

namespace {

// How long the window is held up by a 4096 × 4096 picture: loading it and showing it, parsing
// it into its figures and tree, highlighting a figure and redrawing job steps. The times are
// written to the log and the test record; only loading and showing has a limit, a loose one
// that catches a slow path (a pixel-by-pixel copy takes seconds) on a busy machine.
class LargePictureTest : public testing::TestWithParam<const char*> {
protected:
    static constexpr int kSide = 4096;
    static constexpr qint64 kLoadLimitMs = 3000;

    // Wall time, and the processor time of this program, which stays near what an idle machine
    // takes when other programs compete for the processor.
    void report(const char* what, qint64 ms) {
        const std::clock_t now = std::clock();
        const long cpuMs = long((now - m_cpuStart) * 1000 / CLOCKS_PER_SEC);
        std::cout << "[ timing   ] " << GetParam() << ' ' << what << ": " << ms << " ms (" << cpuMs
                  << " ms processor)" << std::endl;
        RecordProperty(what, int(ms));
    }
    void startClock(QElapsedTimer& timer) {
        timer.start();
        m_cpuStart = std::clock();
    }

    ScopedConfig config;
    PictureFiles files;
    std::clock_t m_cpuStart = 0;
};

TEST_P(LargePictureTest, LoadsAndShowsWithinAFractionOfASecond) {
    const QString path = files.write(QStringLiteral("large.") + QLatin1String(GetParam()),
                                     PictureFiles::tiledRings(kSide, 16));
    FigureWorkspace workspace({"Text2", QStringLiteral("Image"), QStringLiteral("Фреза"),
                               QStringLiteral("200"), QStringLiteral("100")});
    workspace.setMessageFunction(
        [](const QString&, const QString& text) { FAIL() << text.toStdString(); });
    workspace.resize(1200, 800);
    workspace.show();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    startClock(timer);
    workspace.LoadPictureLayers(path);
    workspace.repaint();
    const qint64 loadMs = timer.elapsed();
    report("load and show", loadMs);
    ASSERT_EQ(workspace.layers().width(), kSide);
    EXPECT_LT(loadMs, kLoadLimitMs);

    startClock(timer);
    workspace.Command1_Click();
    workspace.repaint();
    report("parse and tree", timer.elapsed());
    ASSERT_GT(workspace.tree()->topLevelItemCount(), 0);

    startClock(timer);
    workspace.HighlightFigure(2);
    workspace.repaint();
    report("highlight", timer.elapsed());

    // A job's steps: one pixel of the cutter layer each, redrawn as the job lets events run.
    QCoreApplication::processEvents();
    constexpr int kSteps = 200;
    startClock(timer);
    for (int step = 0; step < kSteps; ++step) {
        const QRect changed(1000 + step, 2000, 1, 1);
        workspace.layers().CutterLayer.paint(changed.x(), changed.y(), 0, 0, 255);
        workspace.redraw(changed);
        QCoreApplication::processEvents();
    }
    report("200 job steps redrawn", timer.elapsed());
}

INSTANTIATE_TEST_SUITE_P(Formats, LargePictureTest, testing::Values("bmp", "jpg"));

}  // namespace
