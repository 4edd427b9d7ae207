#include "outline/ui/Form5.h"

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

Form5::Form5(QWidget* parent)
    : QWidget(parent),
      Text1(namedField("Text1", {}, this)),
      Text6(namedField("Text6", QStringLiteral("50"), this)),
      Text7(namedField("Text7", QStringLiteral("40"), this)) {
    setWindowTitle(QStringLiteral("Обведение силуэтов и орнаментов"));
    Text1->setReadOnly(true);

    auto* fileFrame = new QGroupBox(QStringLiteral("Выбор файла"), this);
    auto* fileLayout = new QVBoxLayout(fileFrame);
    fileLayout->addWidget(Text1);

    auto* Frame4 = new QGroupBox(QStringLiteral("Размер готового изображения"), this);
    auto* sizeLayout = new QFormLayout(Frame4);
    sizeLayout->addRow(QStringLiteral("Ширина:"), Text6);
    sizeLayout->addRow(QStringLiteral("Высота:"), Text7);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileFrame);
    layout->addWidget(Frame4);
    layout->addStretch();

    Form_Load();
}

void Form5::Form_Load() {
    Text6->setText(ReadSetting(QStringLiteral("Etching2_width"), QStringLiteral("200")));
    Text1->setText(
        ReadSetting(QStringLiteral("Etching2_image"), ProgramFilePath(kOrnamentPicture)));
}

void Form5::Form_Unload() {
    WriteSetting(QStringLiteral("Etching2_width"), Text6->text());
}

void Form5::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}
