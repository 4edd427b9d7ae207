#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPaintEvent>
#include <QTabWidget>
#include <vector>

#include "figures/ui/LayerView.h"
#include "figures/ui/PictureViews.h"

namespace {

struct LayoutCase {
    QSize window;  // pixels, at 15 twips each
    int frame2Width;
    QSize picture;
    PictureLayoutKind expected;
};

PictureLayers whiteLayers(QSize picture) {
    PictureLayers layers;
    if (picture.isEmpty()) return layers;
    for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
        layers.layer(i) = PixelBuffer::white(picture.width(), picture.height());
    }
    return layers;
}

class PictureViewsTest : public testing::Test {
protected:
    void load(QSize picture) {
        layers = whiteLayers(picture);
        views.setLayers(&layers);
        views.setPictureShown(layers.isLoaded());
    }
    std::vector<int> visibleBoxes() const {
        std::vector<int> shown;
        for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
            if (!views.view(i)->isHidden()) shown.push_back(i);
        }
        return shown;
    }

    PictureLayers layers;
    PictureViews views{QStringLiteral("Фреза"), nullptr};
};

class LayoutChoiceTest : public PictureViewsTest, public testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutChoiceTest, FollowsTheThresholds) {
    const LayoutCase& c = GetParam();
    load(c.picture);
    std::vector<QRect> before;
    for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
        before.push_back(views.view(i)->geometry());
    }

    EXPECT_EQ(views.Form_Resize(c.window, c.frame2Width), c.expected);
    if (c.expected == PictureLayoutKind::NotLaidOut) {
        // Nothing moves and the layout of before stays.
        EXPECT_EQ(views.layoutKind(), PictureLayoutKind::NotLaidOut);
        for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
            EXPECT_EQ(views.view(i)->geometry(), before[std::size_t(i)]);
        }
        return;
    }
    if (c.expected == PictureLayoutKind::Tabs) {
        EXPECT_FALSE(views.tabStrip()->isHidden());
        EXPECT_EQ(visibleBoxes(), std::vector<int>{0});
    } else {
        EXPECT_TRUE(views.tabStrip()->isHidden());
        EXPECT_EQ(visibleBoxes(), (std::vector<int>{0, 1, 2, 3}));
    }
}

// The window is 6000 × 4000 twips at least; the tab strip (window less Frame2 and 400 twips,
// window height less 500) must exceed 6000 × 6000 twips for the four views.
INSTANTIATE_TEST_SUITE_P(
    Thresholds, LayoutChoiceTest,
    testing::Values(LayoutCase{{399, 300}, 0, {200, 200}, PictureLayoutKind::NotLaidOut},
                    LayoutCase{{400, 266}, 0, {200, 200}, PictureLayoutKind::NotLaidOut},
                    LayoutCase{{400, 267}, 0, {200, 200}, PictureLayoutKind::Tabs},
                    LayoutCase{{1600, 1000}, 250, {}, PictureLayoutKind::NotLaidOut},
                    LayoutCase{{626, 434}, 200, {200, 200}, PictureLayoutKind::Tabs},
                    LayoutCase{{627, 433}, 200, {200, 200}, PictureLayoutKind::Tabs},
                    LayoutCase{{627, 434}, 200, {200, 200}, PictureLayoutKind::FourViews},
                    LayoutCase{{1600, 1000}, 250, {1000, 1000}, PictureLayoutKind::FourViews},
                    LayoutCase{{420, 900}, 0, {3000, 100}, PictureLayoutKind::Tabs}));

TEST_F(PictureViewsTest, SmallPictureIsNeverEnlarged) {
    load({100, 100});
    for (const QSize window : {QSize(1600, 1000), QSize(600, 400)}) {
        SCOPED_TRACE(window.width());
        views.Form_Resize(window, 250);
        for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
            EXPECT_EQ(views.view(i)->drawSize(), QSize(100, 100));
            EXPECT_EQ(views.view(i)->size(), QSize(100, 100));
        }
    }
}

TEST_F(PictureViewsTest, WidePictureInASquareCellFillsItsWidth) {
    load({2000, 1000});
    // Tab strip 5900 × 6250 twips: a cell of 5700 × 5700 twips, 380 pixels square.
    ASSERT_EQ(views.Form_Resize({420, 450}, 0), PictureLayoutKind::Tabs);
    EXPECT_EQ(views.view(0)->drawSize(), QSize(380, 190));
}

TEST_F(PictureViewsTest, TabsShowTheSelectedLayerAndComeBackAfterFourViews) {
    load({200, 100});
    views.Form_Resize({600, 400}, 0);
    views.selectTab(2);
    EXPECT_EQ(visibleBoxes(), std::vector<int>{2});
    EXPECT_EQ(views.view(2)->layer(), &layers.SelectionLayer);

    ASSERT_EQ(views.Form_Resize({1600, 1000}, 250), PictureLayoutKind::FourViews);
    EXPECT_TRUE(views.tabStrip()->isHidden());
    EXPECT_EQ(visibleBoxes(), (std::vector<int>{0, 1, 2, 3}));

    // A tab chosen meanwhile keeps the four views whole and counts in the tab layout.
    views.selectTab(1);
    EXPECT_EQ(visibleBoxes(), (std::vector<int>{0, 1, 2, 3}));

    ASSERT_EQ(views.Form_Resize({600, 400}, 0), PictureLayoutKind::Tabs);
    EXPECT_FALSE(views.tabStrip()->isHidden());
    EXPECT_EQ(visibleBoxes(), std::vector<int>{1});
    EXPECT_EQ(views.tabStrip()->tabText(3), QStringLiteral("Фреза"));

    // Without a picture a tab click shows nothing.
    load({});
    views.selectTab(1);
    EXPECT_TRUE(visibleBoxes().empty());
}

// Catches the paint events a view receives.
class PaintRecorder : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = painted.united(static_cast<QPaintEvent*>(event)->rect());
        }
        return false;
    }
    QRect painted;
};

TEST(LayerViewTest, ChangedPixelsRepaintOnlyTheirPartOfTheBox) {
    PixelBuffer layer = PixelBuffer::white(400, 300);
    LayerView view("Pict", nullptr);
    view.setLayer(&layer);
    view.setDrawSize({200, 150});
    view.resize(200, 150);
    view.show();
    QCoreApplication::processEvents();

    struct Change {
        QRect pixels;  // picture pixels, 1-based
        QPoint shown;  // a box pixel that shows them
    };
    for (const Change change : {Change{{1, 1, 2, 2}, {0, 0}}, Change{{201, 151, 2, 2}, {100, 75}},
                                Change{{399, 299, 2, 2}, {199, 149}}}) {
        SCOPED_TRACE(change.shown.x());
        PaintRecorder recorder;
        view.installEventFilter(&recorder);
        for (int y = change.pixels.top(); y <= change.pixels.bottom(); ++y) {
            for (int x = change.pixels.left(); x <= change.pixels.right(); ++x) {
                layer.paint(x, y, 0, 0, 0);
            }
        }
        view.redraw(change.pixels);
        QCoreApplication::processEvents();
        view.removeEventFilter(&recorder);
        EXPECT_TRUE(recorder.painted.contains(change.shown));
        EXPECT_LE(recorder.painted.width(), 6);
        EXPECT_LE(recorder.painted.height(), 6);
        // The box shows the change (the reduced picture is smoothed, so a dark grey will do).
        EXPECT_LT(view.grab().toImage().pixelColor(change.shown).lightness(), 128);
    }
}

}  // namespace
