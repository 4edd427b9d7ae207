#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QTabWidget>

#include "figures/ui/LayerView.h"
#include "figures/ui/PictureViews.h"

namespace {

class PictureViewsTest : public testing::Test {
protected:
    // White layers of the given size (none for an empty size), shown in the views.
    void load(QSize picture) {
        layers = PictureLayers();
        for (int i = 0; i < PictureLayers::kLayerCount && !picture.isEmpty(); ++i) {
            layers.layer(i) = PixelBuffer::white(picture.width(), picture.height());
        }
        views.setLayers(&layers);
        views.setPictureShown(layers.isLoaded());
    }
    // The boxes not hidden, as their digits ("0123": all four).
    QString visibleBoxes() const {
        QString shown;
        for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
            if (!views.view(i)->isHidden()) shown += QChar('0' + i);
        }
        return shown;
    }

    PictureLayers layers;
    PictureViews views{QStringLiteral("Фреза"), nullptr};
};

struct LayoutCase {
    QSize window;  // pixels, at 15 twips each
    int frame2Width;
    QSize picture;
    PictureLayoutKind expected;
};

class LayoutChoiceTest : public PictureViewsTest, public testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutChoiceTest, FollowsTheThresholds) {
    const LayoutCase& c = GetParam();
    load(c.picture);
    QList<QRect> before;
    for (int i = 0; i < PictureLayers::kLayerCount; ++i) before << views.view(i)->geometry();

    EXPECT_EQ(views.Form_Resize(c.window, c.frame2Width), c.expected);
    if (c.expected == PictureLayoutKind::NotLaidOut) {
        // Nothing moves and the layout of before stays.
        EXPECT_EQ(views.layoutKind(), PictureLayoutKind::NotLaidOut);
        for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
            EXPECT_EQ(views.view(i)->geometry(), before[i]);
        }
    } else {
        const bool tabs = c.expected == PictureLayoutKind::Tabs;
        EXPECT_EQ(views.tabStrip()->isHidden(), !tabs);
        EXPECT_EQ(visibleBoxes(), tabs ? "0" : "0123");
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
                    LayoutCase{{627, 434}, 200, {200, 200}, PictureLayoutKind::FourViews}));

TEST_F(PictureViewsTest, PictureIsFittedToItsCellButNeverEnlarged) {
    load({100, 100});
    for (const QSize window : {QSize(1600, 1000), QSize(600, 400)}) {
        SCOPED_TRACE(window.width());
        views.Form_Resize(window, 250);
        for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
            EXPECT_EQ(views.view(i)->drawSize(), QSize(100, 100));
            EXPECT_EQ(views.view(i)->size(), QSize(100, 100));
        }
    }
    load({2000, 1000});
    // Tab strip 5900 × 6250 twips: a cell of 5700 × 5700 twips, 380 pixels square.
    ASSERT_EQ(views.Form_Resize({420, 450}, 0), PictureLayoutKind::Tabs);
    EXPECT_EQ(views.view(0)->drawSize(), QSize(380, 190));
}

TEST_F(PictureViewsTest, TabsShowTheSelectedLayerAndComeBackAfterFourViews) {
    load({200, 100});
    views.Form_Resize({600, 400}, 0);
    views.selectTab(2);
    EXPECT_EQ(visibleBoxes(), "2");
    EXPECT_EQ(views.view(2)->layer(), &layers.SelectionLayer);

    ASSERT_EQ(views.Form_Resize({1600, 1000}, 250), PictureLayoutKind::FourViews);
    EXPECT_TRUE(views.tabStrip()->isHidden());
    // A tab chosen meanwhile keeps the four views whole and counts in the tab layout.
    views.selectTab(1);
    EXPECT_EQ(visibleBoxes(), "0123");
    // Without tabs, each box names its layer in its top-left corner.
    const QString captions[] = {"Картинка", "Рабочий слой", "Выделение", "Фреза"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(views.caption(i)->text(), captions[i]);
        EXPECT_TRUE(views.caption(i)->isVisibleTo(&views)) << i;
        EXPECT_TRUE(views.view(i)->rect().contains(views.caption(i)->geometry())) << i;
    }

    ASSERT_EQ(views.Form_Resize({600, 400}, 0), PictureLayoutKind::Tabs);
    EXPECT_FALSE(views.tabStrip()->isHidden());
    EXPECT_EQ(visibleBoxes(), "1");
    EXPECT_FALSE(views.caption(1)->isVisibleTo(&views)) << "the tab names the layer";
    EXPECT_EQ(views.tabStrip()->tabText(3), QStringLiteral("Фреза"));

    // Without a picture a tab click shows nothing.
    load({});
    views.selectTab(1);
    EXPECT_EQ(visibleBoxes(), "");
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

// A 400 × 300 layer drawn at half size: two changed pixels repaint a few box pixels only, and
// the box shows them (the reduced picture is smoothed, so a dark grey will do).
TEST(LayerViewTest, ChangedPixelsRepaintOnlyTheirPartOfTheBox) {
    PixelBuffer layer = PixelBuffer::white(400, 300);
    LayerView view("Pict", nullptr);
    view.setLayer(&layer);
    view.setDrawSize({200, 150});
    view.resize(200, 150);
    view.show();
    QCoreApplication::processEvents();

    const std::pair<QPoint, QPoint> changes[] = {
        {{1, 1}, {0, 0}}, {{201, 151}, {100, 75}}, {{399, 299}, {199, 149}}};
    for (const auto& [pixel, shown] : changes) {  // picture pixels (1-based) and their box pixel
        SCOPED_TRACE(shown.x());
        PaintRecorder recorder;
        view.installEventFilter(&recorder);
        for (const QPoint offset : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
            layer.paint(pixel.x() + offset.x(), pixel.y() + offset.y(), 0, 0, 0);
        }
        view.redraw(QRect(pixel, QSize(2, 2)));
        QCoreApplication::processEvents();
        view.removeEventFilter(&recorder);
        EXPECT_TRUE(recorder.painted.contains(shown));
        EXPECT_LE(recorder.painted.width(), 6);
        EXPECT_LE(recorder.painted.height(), 6);
        EXPECT_LT(view.grab().toImage().pixelColor(shown).lightness(), 128);
    }
}

}  // namespace
