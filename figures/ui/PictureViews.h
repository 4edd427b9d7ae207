#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <array>

#include "figures/PictureLayers.h"
#include "figures/PictureLayout.h"

class LayerView;
class QLabel;
class QTabWidget;

// The picture area of the milling and outlining windows: the tab strip TabStrip1 ("Основная",
// "Градиент", "Выделение" and the cutter tab) and the four picture boxes Pict, Pict1, Pict2,
// Pict3, one per layer. It sits in the window's top-left corner, so its coordinates are the
// window's. Form_Resize places them by the window's size: one layer at a time under the tabs,
// or the four side by side once there is room, each then with a short caption in its top-left
// corner naming its layer ("Картинка", "Рабочий слой", "Выделение" and the cutter tab's
// caption), since no tab names them.
class PictureViews : public QWidget {
    Q_OBJECT
public:
    // cutterTabCaption: "Фреза" in the milling window, "Лазер" in the outlining window.
    PictureViews(const QString& cutterTabCaption, QWidget* parent);

    // The layers the boxes show (nullptr: none); they must outlive this area.
    void setLayers(const PictureLayers* layers);

    // Shows the tab strip and all four boxes (a picture was loaded) or hides them all (no
    // picture), when a note in their place tells the user how to open one. The next
    // Form_Resize in the tab layout keeps only the selected box.
    void setPictureShown(bool shown);

    // Lays out and draws for a window of `window` pixels whose control panel (Frame2) is
    // frame2Width pixels wide. Nothing happens while the window is smaller than 400 × 267
    // pixels (6000 × 4000 twips) or no picture is loaded. Returns the layout chosen, which
    // also stays in layoutKind().
    PictureLayoutKind Form_Resize(QSize window, int frame2Width);

    // The layout of the last Form_Resize that laid anything out (NotLaidOut before any).
    PictureLayoutKind layoutKind() const { return m_kind; }

    // Repaints what shows `changed` (picture pixels, 1-based) in the four boxes; an empty
    // rectangle repaints them whole. Visible boxes repaint when the window next runs its events.
    void redraw(const QRect& changed);

    // The selected tab, 0 to 3 (the layer shown in the tab layout).
    int selectedTab() const;
    void selectTab(int index);

    LayerView* view(int index) const { return m_views[std::size_t(index)]; }
    QLabel* caption(int index) const { return m_captions[std::size_t(index)]; }
    QTabWidget* tabStrip() const { return TabStrip1; }
    QLabel* noPictureNote() const { return m_noPicture; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void TabStrip1_Click();
    void showOnlySelectedBox();

    QTabWidget* TabStrip1;
    std::array<LayerView*, PictureLayers::kLayerCount> m_views;
    std::array<QLabel*, PictureLayers::kLayerCount> m_captions;
    QLabel* m_noPicture;
    const PictureLayers* m_layers = nullptr;
    PictureLayoutKind m_kind = PictureLayoutKind::NotLaidOut;
    QSize m_window;
    int m_frame2Width = 0;
};
