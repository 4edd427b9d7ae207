#include "engrave/ui/Form3.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/ui/WidgetNames.h"
#include "link/ui/WindowJobHost.h"

Form3::Form3(QWidget* parent)
    : WorkingWindow({MoveWindow::Engraving, QStringLiteral("Настройка"),
                     QStringLiteral("Гравировать"), kEngravingWindowKeys},
                    parent),
      Text1(namedField("Text1", {}, this)),
      Text6(namedField("Text6", QStringLiteral("200"), this)),
      Text7(namedField("Text7", QStringLiteral("100"), this)) {
    setWindowTitle(QStringLiteral("Гравирование лазером"));
    Text1->setReadOnly(true);

    auto* Frame3 = new QGroupBox(QStringLiteral("Выбор файла"), this);
    auto* fileLayout = new QVBoxLayout(Frame3);
    fileLayout->addWidget(Text1);

    auto* Frame4 = new QGroupBox(QStringLiteral("Размер готового изображения"), this);
    auto* sizeLayout = new QFormLayout(Frame4);
    sizeLayout->addRow(QStringLiteral("Ширина:"), Text6);
    sizeLayout->addRow(QStringLiteral("Высота:"), Text7);

    QVBoxLayout* column = columnLayout();
    column->addWidget(Frame3);
    column->addWidget(Frame4);
    host().setField(JobField::FinishedWidth, Text6);

    Form_Load();
}
