#include "scanner/ui/Form2.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/Config.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"
#include "link/ui/WindowLink.h"

namespace {

QLineEdit* namedField(const char* name, const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

// One row of the grid: caption, "X:" field unit, "Y:" field unit.
void addAxisRow(QGridLayout* grid, int row, const QString& caption, QLineEdit* x, QLineEdit* y,
                const QString& unit) {
    grid->addWidget(new QLabel(caption), row, 0);
    grid->addWidget(new QLabel(QStringLiteral("X:")), row, 1);
    grid->addWidget(x, row, 2);
    grid->addWidget(new QLabel(unit), row, 3);
    grid->addWidget(new QLabel(QStringLiteral("Y:")), row, 4);
    grid->addWidget(y, row, 5);
    grid->addWidget(new QLabel(unit), row, 6);
}

}  // namespace

Form2::Form2(QWidget* parent)
    : QWidget(parent),
      Text6(namedField("Text6", QStringLiteral("200"), this)),
      Text7(namedField("Text7", QStringLiteral("100"), this)),
      Text3(namedField("Text3", QStringLiteral("6"), this)),
      Text4(namedField("Text4", QStringLiteral("5"), this)),
      Text8(namedField("Text8", QStringLiteral("120"), this)),
      Text9(namedField("Text9", QStringLiteral("50"), this)),
      m_link(new WindowLink(this, MoveWindow::Scanner,
                            QStringLiteral("Установка начального положения"),
                            QStringLiteral("Сканировать"))) {
    setWindowTitle(QStringLiteral("3D Сканер"));

    auto* Frame3 = new QGroupBox(QStringLiteral("Размеры изображения в пикселях"), this);
    auto* pictureGrid = new QGridLayout(Frame3);
    pictureGrid->addWidget(new QLabel(QStringLiteral("Ширина:")), 0, 0);
    pictureGrid->addWidget(Text6, 0, 1);
    pictureGrid->addWidget(new QLabel(QStringLiteral("Высота:")), 1, 0);
    pictureGrid->addWidget(Text7, 1, 1);

    auto* Frame4 = new QGroupBox(QStringLiteral("Настройки сканирования"), this);
    auto* scanGrid = new QGridLayout(Frame4);
    addAxisRow(scanGrid, 0, QStringLiteral("Размеры сетки"), Text3, Text4, QStringLiteral("точек"));
    addAxisRow(scanGrid, 1, QStringLiteral("Область сканирования"), Text8, Text9,
               QStringLiteral("мм"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame3);
    layout->addWidget(Frame4);
    layout->addWidget(m_link->panel());
    layout->addStretch();
    layout->addWidget(m_link->jobBar());

    Form_Load();
}

void Form2::Form_Load() {
    Text6->setText(ReadSetting(QStringLiteral("scanner_picture_width"), QStringLiteral("200")));
    Text7->setText(ReadSetting(QStringLiteral("scanner_picture_height"), QStringLiteral("200")));
    Text8->setText(ReadSetting(QStringLiteral("scanner_area_width"), QStringLiteral("100")));
    Text3->setText(ReadSetting(QStringLiteral("scanner_mesh_width"), QStringLiteral("6")));
    Text4->setText(ReadSetting(QStringLiteral("scanner_mesh_height"), QStringLiteral("5")));
    m_link->panel()->showPortStatus();
}

void Form2::Form_Unload() {
    WriteSetting(QStringLiteral("scanner_mesh_width"), Text3->text());
    WriteSetting(QStringLiteral("scanner_mesh_height"), Text4->text());
    WriteSetting(QStringLiteral("scanner_picture_width"), Text6->text());
    WriteSetting(QStringLiteral("scanner_picture_height"), Text7->text());
    WriteSetting(QStringLiteral("scanner_area_width"), Text8->text());
}

void Form2::closeEvent(QCloseEvent* event) {
    if (!m_link->host().readyToClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}
