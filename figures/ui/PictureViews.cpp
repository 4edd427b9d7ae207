#include "figures/ui/PictureViews.h"

#include <QLabel>
#include <QTabWidget>

#include "figures/ui/LayerView.h"

namespace {

// Where the tab strip stands in the window. Its top is the window's top: the boxes are placed
// at fixed distances from it (500 twips below the tabs, 100 twips in the four-view layout).
constexpr int kTabStripLeftTwips = 120;
constexpr int kTabStripTopTwips = 0;

constexpr const char* kBoxNames[PictureLayers::kLayerCount] = {"Pict", "Pict1", "Pict2", "Pict3"};

int twipsOf(int pixels, int twipsPerPixel) {
    return pixels * twipsPerPixel;
}

}  // namespace

PictureViews::PictureViews(const QString& cutterTabCaption, QWidget* parent)
    : QWidget(parent),
      TabStrip1(new QTabWidget(this)),
      m_noPicture(new QLabel(QStringLiteral("Картинка не загружена.\n\nНажмите «...» в рамке "
                                            "«Выбор файла» справа и выберите картинку BMP или "
                                            "JPEG."),
                             this)) {
    setObjectName(QStringLiteral("pictureArea"));
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    // The pages stay empty: the boxes lie over the tab strip as its siblings, so that the
    // four-view layout can show them all with the tab strip hidden.
    const QString captions[PictureLayers::kLayerCount] = {
        QStringLiteral("Основная"), QStringLiteral("Градиент"), QStringLiteral("Выделение"),
        cutterTabCaption};
    for (const QString& caption : captions) TabStrip1->addTab(new QWidget, caption);
    const QString layerNames[PictureLayers::kLayerCount] = {
        QStringLiteral("Картинка"), QStringLiteral("Рабочий слой"), QStringLiteral("Выделение"),
        cutterTabCaption};
    for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
        LayerView* box = new LayerView(kBoxNames[i], this);
        m_views[std::size_t(i)] = box;
        // Over the picture's corner, light enough to read on any picture and let it show
        // through; clicks go to the box.
        auto* caption = new QLabel(layerNames[i], box);
        caption->setObjectName(QStringLiteral("%1Caption").arg(QLatin1String(kBoxNames[i])));
        caption->setAttribute(Qt::WA_TransparentForMouseEvents);
        caption->setStyleSheet(QStringLiteral(
            "background: rgba(255, 255, 255, 200); color: #202020; padding: 1px 4px;"));
        caption->move(2, 2);
        caption->adjustSize();
        caption->hide();
        m_captions[std::size_t(i)] = caption;
    }
    m_noPicture->setObjectName(QStringLiteral("noPictureNote"));
    m_noPicture->setAlignment(Qt::AlignCenter);
    m_noPicture->setWordWrap(true);
    connect(TabStrip1, &QTabWidget::currentChanged, this, &PictureViews::TabStrip1_Click);
    setPictureShown(false);
}

void PictureViews::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    constexpr int kNoteMargin = 24;
    m_noPicture->setGeometry(rect().adjusted(kNoteMargin, kNoteMargin, -kNoteMargin, -kNoteMargin));
}

void PictureViews::setLayers(const PictureLayers* layers) {
    m_layers = layers;
    for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
        view(i)->setLayer(layers ? &layers->layer(i) : nullptr);
    }
}

void PictureViews::setPictureShown(bool shown) {
    TabStrip1->setVisible(shown);
    for (LayerView* box : m_views) box->setVisible(shown);
    m_noPicture->setVisible(!shown);
}

int PictureViews::selectedTab() const {
    return TabStrip1->currentIndex();
}

void PictureViews::selectTab(int index) {
    TabStrip1->setCurrentIndex(index);
}

void PictureViews::TabStrip1_Click() {
    // Without a picture the boxes stay hidden, and the four views show every box already; the
    // tab chosen counts from the next tab layout.
    if (!m_layers || !m_layers->isLoaded() || TabStrip1->isHidden()) return;
    for (LayerView* box : m_views) box->hide();
    view(selectedTab())->show();
    Form_Resize(m_window, m_frame2Width);
}

void PictureViews::showOnlySelectedBox() {
    for (int i = 0; i < PictureLayers::kLayerCount; ++i) view(i)->setVisible(i == selectedTab());
}

PictureLayoutKind PictureViews::Form_Resize(QSize window, int frame2Width) {
    m_window = window;
    m_frame2Width = frame2Width;
    PictureLayoutInput input;
    input.window = {twipsOf(window.width(), input.twipsPerPixelX),
                    twipsOf(window.height(), input.twipsPerPixelY)};
    input.frame2Width = twipsOf(frame2Width, input.twipsPerPixelX);
    input.tabStripLeft = kTabStripLeftTwips;
    if (m_layers && m_layers->isLoaded()) input.picture = {m_layers->width(), m_layers->height()};
    const PictureLayout layout = computePictureLayout(input);
    if (layout.kind == PictureLayoutKind::NotLaidOut) return layout.kind;
    m_kind = layout.kind;

    TabStrip1->setGeometry(
        twipsToPixels(QRect(QPoint(kTabStripLeftTwips, kTabStripTopTwips), layout.tabStrip)));
    if (layout.kind == PictureLayoutKind::FourViews) {
        if (!TabStrip1->isHidden()) {
            TabStrip1->hide();
            for (LayerView* box : m_views) box->show();
        }
    } else {
        // Coming back from the four views the tab strip returns, with the selected box only.
        TabStrip1->show();
        showOnlySelectedBox();
    }
    for (int i = 0; i < PictureLayers::kLayerCount; ++i) {
        LayerView* box = view(i);
        caption(i)->setVisible(layout.kind == PictureLayoutKind::FourViews);
        box->setGeometry(twipsToPixels(layout.boxes[std::size_t(i)]));
        box->setDrawSize(layout.drawSize);
        box->raise();
    }
    return layout.kind;
}

void PictureViews::redraw(const QRect& changed) {
    for (LayerView* box : m_views) box->redraw(changed);
}
