#include "mill/ui/Form1.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/Config.h"

namespace {

QLineEdit* namedField(const char* name, const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

}  // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent),
      Text2(namedField("Text2", {}, this)),
      Text6(namedField("Text6", QStringLiteral("200"), this)),
      Text7(namedField("Text7", QStringLiteral("100"), this)),
      Text1(namedField("Text1", {}, this)),
      Text3(namedField("Text3", {}, this)) {
    setWindowTitle(QStringLiteral("Strugal"));
    Text2->setReadOnly(true);

    auto* fileFrame = new QGroupBox(QStringLiteral("Выбор файла"), this);
    auto* fileLayout = new QVBoxLayout(fileFrame);
    fileLayout->addWidget(Text2);

    auto* Frame4 = new QGroupBox(QStringLiteral("Размер готового изображения"), this);
    auto* sizeLayout = new QFormLayout(Frame4);
    sizeLayout->addRow(QStringLiteral("Ширина:"), Text6);
    sizeLayout->addRow(QStringLiteral("Высота:"), Text7);
    sizeLayout->addRow(QStringLiteral("Глубина:"), Text1);
    sizeLayout->addRow(QStringLiteral("Диаметр, мм"), Text3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileFrame);
    layout->addWidget(Frame4);
    layout->addStretch();

    Form_Load();
}

void Form1::Form_Load() {
    Text6->setText(ReadSetting(QStringLiteral("cncrez_width"), QStringLiteral("200")));
    Text1->setText(ReadSetting(QStringLiteral("cncrez_depth"), QStringLiteral("10")));
    Text3->setText(ReadSetting(QStringLiteral("mill_diameter"), QStringLiteral("3")));
    Text2->setText(ReadSetting(QStringLiteral("Image"), ProgramFilePath(kOrnamentPicture)));
}

void Form1::Form_Unload() {
    // "Image" is written only when a picture has been chosen, never here.
    WriteSetting(QStringLiteral("cncrez_width"), Text6->text());
    WriteSetting(QStringLiteral("cncrez_depth"), Text1->text());
    WriteSetting(QStringLiteral("mill_diameter"), Text3->text());
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}
