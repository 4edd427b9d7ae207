#include "figures/ui/FigureWorkspace.h"

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/config/Config.h"
#include "figures/FigureAnalysis.h"
#include "figures/ui/FigureTree.h"
#include "figures/ui/PictureFileDialog.h"
#include "figures/ui/PictureViews.h"
#include "link/ui/UserMessage.h"
#include "link/ui/WidgetNames.h"
#include "link/ui/WorkingWindow.h"

namespace {

// The control column keeps this distance from the window's edges.
constexpr int kColumnMargin = 8;
// The window opens this large when its column fits (the main window's area bounds it); it
// shrinks to a picture area this wide.
constexpr QSize kPreferredSize(1300, 700);
constexpr int kMinPictureAreaWidth = 200;
constexpr int kMinHeight = 300;
constexpr int kMinTreeHeight = 60;
// The column is two columns side by side, each as wide as a working window's column.
constexpr int kColumnCount = 2;

}  // namespace

FigureWorkspace::FigureWorkspace(const FigureWindowSetup& setup, const ConfigFile& config,
                                 QWidget* parent)
    : QWidget(parent),
      m_setup(setup),
      m_config(config),
      m_openFile(&openPictureFile),
      m_views(new PictureViews(setup.cutterTabCaption, this)),
      m_columnArea(new QScrollArea(this)),
      m_column(new QWidget),
      m_sideLayout(new QVBoxLayout),
      m_pathBox(namedField(setup.picture.field, {}, m_column)),
      Command8(namedButton("Command8", QStringLiteral("..."), m_column)),
      Frame4(new QGroupBox(QStringLiteral("Размер готового изображения"), m_column)),
      m_sizeLayout(new QFormLayout(Frame4)),
      Text6(namedField("Text6", setup.widthText, Frame4)),
      Text7(namedField("Text7", setup.heightText, Frame4)),
      Frame2(new QGroupBox(m_column)),
      tv(new QTreeWidget(Frame2)),
      Command1(namedButton("Command1", QStringLiteral("Разобрать"), Frame2)),
      m_panelLayout(new QVBoxLayout) {
    // The box opens when the window next runs its events: a message of Form_Load then stands in
    // front of the window instead of appearing before it, and no caller is ever held up.
    m_showMessage = [this](const MessageTitle& title, const QString& text) {
        showMessageBoxLater(this, title, text);
    };
    m_views->setLayers(&m_layers);
    buildColumn();

    connect(Command8, &QPushButton::clicked, this, &FigureWorkspace::Command8_Click);
    connect(Command1, &QPushButton::clicked, this, &FigureWorkspace::Command1_Click);
    // A click highlights when the mouse button comes up, also on the node already selected
    // (the work layer may have changed since). A selection moved with the keyboard highlights
    // at once; one moved by a mouse press waits for its click, so that a large picture is not
    // painted twice.
    connect(tv, &QTreeWidget::itemClicked, this, &FigureWorkspace::tv_Click);
    connect(tv, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (QApplication::mouseButtons() == Qt::NoButton) tv_Click();
    });
    connect(Text6, &QLineEdit::returnPressed, this, [this] { sizeFieldLeft(Text6); });
    connect(Text7, &QLineEdit::returnPressed, this, [this] { sizeFieldLeft(Text7); });
    Text6->installEventFilter(this);
    Text7->installEventFilter(this);
    m_column->installEventFilter(this);
}

void FigureWorkspace::buildColumn() {
    m_pathBox->setReadOnly(true);
    // Only the program writes the path; the keyboard focus goes to the controls the user works.
    m_pathBox->setFocusPolicy(Qt::ClickFocus);
    auto* fileFrame = new QGroupBox(QStringLiteral("Выбор файла"), m_column);
    auto* fileLayout = new QHBoxLayout(fileFrame);
    fileLayout->addWidget(m_pathBox, 1);
    Command8->setFixedWidth(Command8->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    fileLayout->addWidget(Command8);

    Frame4->setObjectName(QStringLiteral("Frame4"));
    m_sizeLayout->addRow(QStringLiteral("Ширина:"), Text6);
    m_sizeLayout->addRow(QStringLiteral("Высота:"), Text7);

    Frame2->setObjectName(QStringLiteral("Frame2"));
    tv->setObjectName(QStringLiteral("tv"));
    tv->setHeaderHidden(true);
    tv->setUniformRowHeights(true);
    tv->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* panel = new QVBoxLayout(Frame2);
    panel->addWidget(tv, 1);
    panel->addWidget(Command1);
    panel->addLayout(m_panelLayout);

    m_sideLayout->setContentsMargins(0, 0, 0, 0);
    m_columnArea->setFrameShape(QFrame::NoFrame);
    // Not a stop of its own for the keyboard: it scrolls to the control that takes the focus.
    m_columnArea->setFocusPolicy(Qt::NoFocus);
    m_columnArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_columnArea->setWidgetResizable(true);
    m_columnArea->setWidget(m_column);
    tv->setMinimumHeight(kMinTreeHeight);
    // The picture's file and sizes on the left, with what the windows add below them (the
    // manual panel, at the bottom); the tree and the jobs on the right, the tree taking the
    // whole height that is left, so that a deep nesting can be seen at once.
    auto* columns = new QHBoxLayout(m_column);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->addLayout(m_sideLayout, 1);
    columns->addWidget(Frame2, 1);
    m_sideLayout->addWidget(fileFrame);
    m_sideLayout->addWidget(Frame4);
    m_sideLayout->addStretch(1);
    Frame4->hide();
    Frame2->hide();
}

void FigureWorkspace::setMessageFunction(MessageFunction showMessage) {
    m_showMessage = std::move(showMessage);
}

void FigureWorkspace::setOpenFileFunction(OpenFileFunction openFile) {
    m_openFile = std::move(openFile);
}

void FigureWorkspace::showMessage(const QString& text) {
    m_showMessage(kErrorTitle, text);
}

void FigureWorkspace::loadRememberedPicture() {
    m_pathBox->setText(m_setup.picture.read(m_config));
    LoadPictureLayers(m_pathBox->text());
}

void FigureWorkspace::LoadPictureLayers(const QString& path) {
    // The old picture goes first, so that two large pictures are never held at once.
    installLayers({});
    PictureLoadResult loaded = loadPictureLayers(path);
    if (loaded.status == PictureLoadStatus::Loaded) {
        installLayers(std::move(loaded.layers));
    } else {
        showMessage(loaded.message);
    }
    Text6_LostFocus();
    Form_Resize();
}

void FigureWorkspace::installLayers(PictureLayers layers) {
    m_layers = std::move(layers);
    // Figures of another picture must not outlive it: a job would read outside the new layers.
    m_analysis = FigureAnalysis{};
    tv->clear();
    const bool loaded = m_layers.isLoaded();
    m_views->setPictureShown(loaded);
    Frame4->setVisible(loaded);
    Frame2->setVisible(loaded);
    m_views->redraw({});
}

void FigureWorkspace::Command8_Click() {
    const QString name = m_openFile(this, kOpenPictureTitle, PictureDirectory(), kPictureFilter);
    if (!name.isEmpty()) {
        PictureLoadResult loaded = loadPictureLayers(name);
        if (loaded.status != PictureLoadStatus::Loaded) {
            showMessage(loaded.message);
            return;
        }
        m_pathBox->setText(name);
        m_setup.picture.write(m_config, m_pathBox->text());
        installLayers(std::move(loaded.layers));
        Form_Resize();
    }
    Text6_LostFocus();
}

void FigureWorkspace::Command1_Click() {
    // A parse starts a new run: the path and the highlight of the last one go, so that the
    // picture shows only what this run does and the cut levels are the picture's own again.
    if (m_layers.isLoaded()) {
        m_layers.CutterLayer = m_layers.SourceLayer;
        m_layers.SelectionLayer = m_layers.WorkLayer;
        m_views->redraw({});
    }
    ParseFigures(m_layers.WorkLayer, m_analysis);
    figuresChanged();
}

void FigureWorkspace::figuresChanged() {
    fillFigureTree(tv, m_analysis);
    Form_Resize();
}

void FigureWorkspace::tv_Click() {
    if (const std::optional<std::int32_t> figure = selectedFigure()) HighlightFigure(*figure);
}

void FigureWorkspace::HighlightFigure(std::int32_t figure) {
    m_layers.SelectionLayer = ::HighlightFigure(m_layers.WorkLayer, m_analysis.labels, figure);
    m_views->redraw({});
    Form_Resize();
}

void FigureWorkspace::sizeFieldLeft(QLineEdit* field) {
    // Only a field the user has typed into sets the other one: passing through the height field
    // must not replace a width the user typed (even one that is not a number).
    if (!field->isModified()) return;
    if (field == Text6) Text6_LostFocus();
    if (field == Text7) Text7_LostFocus();
}

void FigureWorkspace::Text6_LostFocus() {
    Text6->setModified(false);
    if (const std::optional<QString> height =
            finishedHeightText(Text6->text(), m_layers.width(), m_layers.height())) {
        Text7->setText(*height);
    }
}

void FigureWorkspace::Text7_LostFocus() {
    Text7->setModified(false);
    if (const std::optional<QString> width =
            finishedWidthText(Text7->text(), m_layers.width(), m_layers.height())) {
        Text6->setText(*width);
    }
}

std::optional<std::int32_t> FigureWorkspace::selectedFigure() const {
    return selectedFigureOf(tv);
}

void FigureWorkspace::redraw(const QRect& changed) {
    m_views->redraw(changed);
}

void FigureWorkspace::Form_Resize() {
    const int columnHeight = height() - 2 * kColumnMargin;
    // The column keeps one width whatever its texts say, so that nothing moves during a job.
    int columnWidth = fixedColumnWidth();
    if (m_column->minimumSizeHint().height() > columnHeight) {
        columnWidth += m_columnArea->verticalScrollBar()->sizeHint().width();
    }
    const int columnLeft = width() - columnWidth - kColumnMargin;
    m_columnArea->setGeometry(columnLeft, kColumnMargin, columnWidth, columnHeight);
    const int footer = m_footer ? m_footer->sizeHint().height() : 0;
    m_views->setGeometry(0, 0, std::max(columnLeft, 0), height() - footer);
    if (m_footer) {
        m_footer->setGeometry(kColumnMargin, height() - footer - kColumnMargin,
                              std::max(columnLeft - 2 * kColumnMargin, 0), footer);
    }
    m_views->Form_Resize(QSize(width(), height() - footer - kColumnMargin), columnWidth);
}

void FigureWorkspace::setPictureFooter(QWidget* footer) {
    m_footer = footer;
    footer->setParent(this);
    footer->show();
    Form_Resize();
}

int FigureWorkspace::fixedColumnWidth() const {
    const int spacing = m_column->layout()->spacing();
    return std::max(kColumnCount * WorkingWindow::columnWidth() + spacing,
                    m_column->minimumSizeHint().width());
}

QSize FigureWorkspace::sizeHint() const {
    const QSize column = m_column->sizeHint();
    return {kPreferredSize.width(),
            std::max(kPreferredSize.height(), column.height() + 2 * kColumnMargin)};
}

QSize FigureWorkspace::minimumSizeHint() const {
    const int columnWidth =
        fixedColumnWidth() + m_columnArea->verticalScrollBar()->sizeHint().width();
    return {columnWidth + 2 * kColumnMargin + kMinPictureAreaWidth, kMinHeight};
}

void FigureWorkspace::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FigureWorkspace::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Resize();
}

bool FigureWorkspace::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == Text6 || watched == Text7) sizeFieldLeft(static_cast<QLineEdit*>(watched));
    } else if (watched == m_column && event->type() == QEvent::LayoutRequest) {
        // The windows add controls to the column after it was built; its size may change.
        updateGeometry();
        Form_Resize();
    }
    return QWidget::eventFilter(watched, event);
}

QString FigureWorkspace::picturePath() const {
    return m_pathBox->text();
}
