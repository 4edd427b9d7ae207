#include "scanner/ui/Form2.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/ui/WidgetNames.h"

namespace {

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
    : WorkingWindow({MoveWindow::Scanner, QStringLiteral("Установка начального положения"),
                     QStringLiteral("Сканировать"), kScannerWindowKeys, true},
                    parent),
      Text6(namedField("Text6", QStringLiteral("200"), this)),
      Text7(namedField("Text7", QStringLiteral("100"), this)),
      Text3(namedField("Text3", QStringLiteral("6"), this)),
      Text4(namedField("Text4", QStringLiteral("5"), this)),
      Text8(namedField("Text8", QStringLiteral("120"), this)),
      Text9(namedField("Text9", QStringLiteral("50"), this)) {
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

    QVBoxLayout* column = columnLayout();
    column->addWidget(Frame3);
    column->addWidget(Frame4);

    Form_Load();
}
