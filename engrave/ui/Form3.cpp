#include "engrave/ui/Form3.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/Config.h"
#include "app/ui/WidgetNames.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"
#include "link/ui/WindowLink.h"

Form3::Form3(QWidget* parent)
    : QWidget(parent),
      Text1(namedField("Text1", {}, this)),
      Text6(namedField("Text6", QStringLiteral("200"), this)),
      Text7(namedField("Text7", QStringLiteral("100"), this)),
      m_link(new WindowLink(this, MoveWindow::Engraving, QStringLiteral("Настройка"),
                            QStringLiteral("Гравировать"))) {
    setWindowTitle(QStringLiteral("Гравирование лазером"));
    Text1->setReadOnly(true);

    auto* Frame3 = new QGroupBox(QStringLiteral("Выбор файла"), this);
    auto* fileLayout = new QVBoxLayout(Frame3);
    fileLayout->addWidget(Text1);

    auto* Frame4 = new QGroupBox(QStringLiteral("Размер готового изображения"), this);
    auto* sizeLayout = new QFormLayout(Frame4);
    sizeLayout->addRow(QStringLiteral("Ширина:"), Text6);
    sizeLayout->addRow(QStringLiteral("Высота:"), Text7);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame3);
    layout->addWidget(Frame4);
    layout->addWidget(m_link->panel());
    layout->addStretch();
    layout->addWidget(m_link->jobBar());
    m_link->host().setField(JobField::FinishedWidth, Text6);

    Form_Load();
}

void Form3::Form_Load() {
    m_link->panel()->showPortStatus();
    Text1->setText(
        ReadSetting(QStringLiteral("Etching_image"), ProgramFilePath(kEngravingPicture)));
    Text6->setText(ReadSetting(QStringLiteral("Etching_width"), QStringLiteral("200")));
}

void Form3::Form_Unload() {
    WriteSetting(QStringLiteral("Etching_width"), Text6->text());
}

void Form3::closeEvent(QCloseEvent* event) {
    if (!m_link->host().readyToClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}
