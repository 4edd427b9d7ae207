#include "scanner/ui/Form2.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WidgetNames.h"
#include "link/ui/WindowJobHost.h"
#include "scanner/ui/ScanPictureView.h"

namespace {

// Where the picture box stands in its scrolled area, pixels.
constexpr int kPictLeft = 8;
constexpr int kPictTop = 8;
constexpr int kDefaultImageSide = 200;

// One row of the grid: caption, "X:" field unit, "Y:" field unit.
void addAxisRow(QGridLayout* grid, int row, const QString& caption, QLineEdit* x, QLineEdit* y,
                const QString& unit) {
    grid->addWidget(new QLabel(caption), row, 0, 1, 6);
    grid->addWidget(new QLabel(QStringLiteral("X:")), row + 1, 0);
    grid->addWidget(x, row + 1, 1);
    grid->addWidget(new QLabel(unit), row + 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Y:")), row + 1, 3);
    grid->addWidget(y, row + 1, 4);
    grid->addWidget(new QLabel(unit), row + 1, 5);
}

// A picture side from a stored or typed size, the default when it is not a usable size.
int pictureSide(const QString& text) {
    return ImageSide(text).value_or(kDefaultImageSide) + kPictureBorder;
}

}  // namespace

Form2::Form2(ProgramContext& program, QWidget* parent)
    : WorkingWindow({MoveRules::Scanner, QStringLiteral("Установка начального положения"),
                     QStringLiteral("Сканировать"), kScannerWindowKeys, true},
                    program, parent),
      Text6(namedField("Text6", QStringLiteral("200"), this)),
      Text7(namedField("Text7", QStringLiteral("100"), this)),
      Text3(namedField("Text3", QStringLiteral("6"), this)),
      Text4(namedField("Text4", QStringLiteral("5"), this)),
      Text8(namedField("Text8", QStringLiteral("120"), this)),
      Text9(namedField("Text9", QStringLiteral("50"), this)),
      Command7(namedButton("Command7", QStringLiteral("Установить"), this)),
      Command6(namedButton("Command6", QStringLiteral("Сканировать"), this)),
      Command2(namedButton("Command2", QStringLiteral("Интерполировать"), this)),
      Command1(namedButton("Command1", QStringLiteral("Сохранить в BMP"), this)),
      Command8(namedButton("Command8", QStringLiteral("Экспорт…"), this)),
      Check2(new QCheckBox(QStringLiteral("Вернуть щуп в начало"), this)),
      Label9(new QLabel(QStringLiteral("Данные:"), this)),
      m_canvas(new QWidget),
      Pict(new ScanPictureView(m_picture, m_canvas)),
      Label12(new CornerHandle("Label12", m_canvas)),
      Label13(new CornerHandle("Label13", m_canvas)) {
    setWindowTitle(QStringLiteral("3D Сканер"));
    Label9->setObjectName(QStringLiteral("Label9"));
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setToolTip(
        QStringLiteral("После сканирования отвести щуп в первую точку сетки, чтобы следующее "
                       "сканирование сняло тот же участок"));
    m_saveFile = [](QWidget* parent, const QString& title, const QString& path,
                    const QString& filter) {
        return QFileDialog::getSaveFileName(parent, title, path, filter);
    };
    Command8->setToolTip(
        QStringLiteral("Сохранить скан для САПР: таблица CSV или "
                       "поверхность STL"));
    buildColumn();
    buildPictureArea();
    connectControls();

    // The keys are read into their fields in their order and the port status taken last.
    Form_Load();
    applyLoadedKeys();
}

void Form2::buildColumn() {
    auto* Frame3 = new QGroupBox(QStringLiteral("Размеры изображения в пикселях"), this);
    auto* pictureGrid = new QGridLayout(Frame3);
    pictureGrid->addWidget(new QLabel(QStringLiteral("Ширина:")), 0, 0);
    pictureGrid->addWidget(Text6, 0, 1);
    pictureGrid->addWidget(new QLabel(QStringLiteral("Высота:")), 1, 0);
    pictureGrid->addWidget(Text7, 1, 1);
    pictureGrid->addWidget(Command7, 0, 2, 2, 1);

    auto* Frame4 = new QGroupBox(QStringLiteral("Настройки сканирования"), this);
    auto* scanGrid = new QGridLayout(Frame4);
    addAxisRow(scanGrid, 0, QStringLiteral("Размеры сетки"), Text3, Text4, QStringLiteral("точек"));
    addAxisRow(scanGrid, 2, QStringLiteral("Область сканирования"), Text8, Text9,
               QStringLiteral("мм"));

    auto* Frame2 = new QGroupBox(QStringLiteral("Сканирование"), this);
    auto* jobGrid = new QGridLayout(Frame2);
    jobGrid->addWidget(Command6, 0, 0);
    jobGrid->addWidget(Command2, 0, 1);
    jobGrid->addWidget(Command1, 1, 0);
    jobGrid->addWidget(Command8, 1, 1);
    jobGrid->addWidget(Check2, 2, 0, 1, 2);
    addSurfaceControls(jobGrid);  // row 3
    addContinueControl(jobGrid);  // row 4
    jobGrid->addWidget(Label9, 4, 0, 1, 2);

    QVBoxLayout* column = columnLayout();
    column->addWidget(Frame3);
    column->addWidget(Frame4);
    column->addWidget(Frame2);
}

void Form2::buildPictureArea() {
    Label12->setStyleSheet(QStringLiteral("background: #404040; border: 1px solid white;"));
    Label13->setStyleSheet(QStringLiteral("background: transparent; border: 1px dashed #404040;"));
    Label13->hide();
    Pict->move(kPictLeft, kPictTop);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(m_canvas);
    scroll->setWidgetResizable(false);

    setPictureArea(scroll);
}

void Form2::connectControls() {
    for (QLineEdit* field : {Text3, Text4, Text6, Text7, Text8, Text9}) {
        field->installEventFilter(this);
        field->setMaximumWidth(field->fontMetrics().averageCharWidth() * 9);
    }
    WindowJobHost& host = this->host();
    for (QWidget* control :
         std::initializer_list<QWidget*>{Command6, Command2, Command1, Command8, Command7, Text3,
                                         Text4, Text6, Text7, Label12, Check2})
        host.addJobControl(control);
    host.setRedraw([this](const QRect& changed) {
        if (changed.isEmpty()) {
            Pict->update();
        } else {
            Pict->update(changed.translated(-1, -1));
        }
    });
    connect(Command7, &QPushButton::clicked, this, &Form2::ApplyPictureSize);
    connect(Command6, &QPushButton::clicked, this, &Form2::Command6_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command8, &QPushButton::clicked, this, &Form2::Command8_Click);
    connect(Label12, &CornerHandle::pressed, this, &Form2::Label12_MouseDown);
    connect(Label12, &CornerHandle::moved, this, &Form2::Label12_MouseMove);
    connect(Label12, &CornerHandle::released, this, &Form2::Label12_MouseUp);
}

void Form2::applyLoadedKeys() {
    setPictureSize(QSize(pictureSide(Text6->text()), pictureSide(Text7->text())));
    DeriveAreaHeight();
    applyGridCounts();
    placeOnCorner(Label12);
    placeOnCorner(Label13);
    ResetScanPicture();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    const bool count = watched == Text3 || watched == Text4;
    if (event->type() == QEvent::FocusOut) {
        if (count) {
            applyGridCounts();
        } else if (watched == Text6 || watched == Text7 || watched == Text8) {
            DeriveAreaHeight();
        } else if (watched == Text9) {
            DeriveAreaWidth();
        }
    }
    if (!count || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        applyGridCounts();
        return true;
    }
    // Keys that type nothing (arrows, Tab, Delete) keep their usual meaning; Backspace is always
    // taken, so that a full field can still be corrected.
    const QString text = key->text();
    if (text.isEmpty() || key->key() == Qt::Key_Backspace) return false;
    const bool digit = text.size() == 1 && text[0] >= u'0' && text[0] <= u'9';
    const auto* field = static_cast<QLineEdit*>(watched);
    return !digit || field->text().size() > 4;
}

void Form2::setPictureSize(QSize pixels) {
    Pict->resize(pixels);
    m_canvas->resize(kPictLeft + pixels.width() + kPictLeft, kPictTop + pixels.height() + kPictTop);
    m_picture.ResetScanPicture(pixels, GridCount(Text3->text()).value_or(0),
                               GridCount(Text4->text()).value_or(0));
    Pict->pictureReset();
}

void Form2::ResetScanPicture() {
    setPictureSize(Pict->size());
}

void Form2::placeOnCorner(QWidget* handle) {
    const QRect picture = Pict->geometry();
    handle->move(picture.x() + picture.width() - handle->width() / 2,
                 picture.y() + picture.height() - handle->height() / 2);
    handle->raise();
}

void Form2::ApplyPictureSize() {
    const std::optional<int> width = ImageSide(Text6->text());
    const std::optional<int> height = ImageSide(Text7->text());
    if (!width || !height) {
        showMessage(kErrorTitle,
                    QStringLiteral("Размеры изображения должны быть целыми числами от 1 до %1 "
                                   "пикселей.")
                        .arg(kLargestImageSide));
        return;
    }
    setPictureSize(QSize(*width + kPictureBorder, *height + kPictureBorder));
    placeOnCorner(Label13);
    placeOnCorner(Label12);
}

void Form2::Label12_MouseDown(QPointF) {
    m_grip.press(Label12->x() * kScannerTwipsPerPixel, Label12->y() * kScannerTwipsPerPixel);
    m_dragging = true;
    // The handle stays where it was pressed, so that it keeps the mouse, but is not seen.
    Label12->setStyleSheet(QStringLiteral("background: transparent; border: none;"));
    placeOnCorner(Label13);
    Label13->show();
}

void Form2::Label12_MouseMove(Qt::MouseButtons buttons, QPointF position) {
    if (!m_dragging || buttons != Qt::LeftButton) return;
    const GripDrag::Result result =
        m_grip.move(position.x() * kScannerTwipsPerPixel, position.y() * kScannerTwipsPerPixel,
                    Pict->pos() * kScannerTwipsPerPixel, pictureSize(),
                    GridCount(Text3->text()).value_or(0), GridCount(Text4->text()).value_or(0));
    if (result.width) Text6->setText(*result.width);
    if (result.height) Text7->setText(*result.height);
    setPictureSize(result.picture);
    placeOnCorner(Label13);
}

void Form2::Label12_MouseUp() {
    if (!m_dragging) return;
    m_dragging = false;
    Label13->hide();
    placeOnCorner(Label12);
    Label12->setStyleSheet(QStringLiteral("background: #404040; border: 1px solid white;"));
}

void Form2::applyGridCounts() {
    // The picture keeps its size; the image is kept inside it.
    const QSize picture = pictureSize();
    const std::pair<QLineEdit*, int> sides[] = {{Text6, picture.width()},
                                                {Text7, picture.height()}};
    for (const auto& [field, pixels] : sides) {
        const std::optional<int> side = ImageSide(field->text());
        if (side && *side > pixels - kPictureBorder)
            field->setText(QString::number(std::max(1, pixels - kPictureBorder)));
    }
    ResetScanPicture();
    placeOnCorner(Label13);
}

void Form2::DeriveAreaHeight() {
    Text9->setText(::DeriveAreaHeight(Text6->text(), Text7->text(), Text8->text()));
}

void Form2::DeriveAreaWidth() {
    Text8->setText(::DeriveAreaWidth(Text6->text(), Text7->text(), Text9->text()));
}

void Form2::showMessage(const MessageTitle& title, const QString& text) {
    host().showMessage(title, text);
}
