#include "link/ui/Form4.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "app/config/Config.h"
#include "app/config/ConfigKeys.h"
#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/job/JobRunner.h"
#include "link/protocol/ConnectionTest.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/ProgramContext.h"
#include "link/serial/SerialDriver.h"
#include "link/ui/SystemPorts.h"
#include "link/ui/WindowJobHost.h"

namespace {

template <class Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The ports to suggest: those the system reports, then the virtual controller.
void addPortSuggestions(QComboBox* box) {
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return a.portName() < b.portName();
    });
    for (const QSerialPortInfo& port : ports) {
        box->addItem(QStringLiteral("grbl:") + port.portName());
        box->setItemData(box->count() - 1,
                         QStringLiteral("Контроллер GRBL на порту %1").arg(port.portName()),
                         Qt::ToolTipRole);
        box->addItem(port.portName());
        QStringList parts;
        for (const QString& part : {port.description(), port.manufacturer()})
            if (!part.trimmed().isEmpty()) parts.append(part.trimmed());
        const QString about = parts.join(QStringLiteral(", "));
        if (!about.isEmpty()) box->setItemData(box->count() - 1, about, Qt::ToolTipRole);
    }
    box->addItem(QStringLiteral("sim"));
    box->setItemData(box->count() - 1, QStringLiteral("Виртуальный станок"), Qt::ToolTipRole);
    box->addItem(QStringLiteral("sim:probe"));
    box->setItemData(box->count() - 1, QStringLiteral("Виртуальный станок со щупом сканера"),
                     Qt::ToolTipRole);
    box->addItem(QStringLiteral("gcode:") + ProgramFilePath(QStringLiteral("job.nc")));
    box->setItemData(box->count() - 1,
                     QStringLiteral("Записать работу файлом G-кода (gcode:ИМЯ_ФАЙЛА)"),
                     Qt::ToolTipRole);
}

}  // namespace

Form4::Form4(ProgramContext& program, QWidget* parent)
    : QWidget(parent),
      m_program(program),
      m_host(new WindowJobHost(this, program.runner, program.settings.values())),
      Frame1(named(new QGroupBox(QStringLiteral("Виртуальный COM-порт"), this), "Frame1")),
      Text4(named(new QComboBox(this), "Text4")),
      Command3(named(new QPushButton(QStringLiteral("Проверить соединение"), this), "Command3")),
      Label5(named(new QLabel(QStringLiteral("Ждать ответа станка, с:"), this), "Label5")),
      Label6(named(new QLabel(QStringLiteral("мм на единицу отсчёта щупа:"), this), "Label6")),
      Text6(named(new QLineEdit(this), "Text6")),
      Text5(named(new QLineEdit(this), "Text5")),
      Frame2(named(
          new QGroupBox(QStringLiteral("Перемещение в мм, соответствующее одному шагу ШД"), this),
          "Frame2")),
      Label2(named(new QLabel(QStringLiteral("X:"), this), "Label2")),
      Text1(named(new QLineEdit(QStringLiteral("-0.005"), this), "Text1")),
      Label3(named(new QLabel(QStringLiteral("Y:"), this), "Label3")),
      Text2(named(new QLineEdit(QStringLiteral("0.005"), this), "Text2")),
      Label4(named(new QLabel(QStringLiteral("Z:"), this), "Label4")),
      Text3(named(new QLineEdit(QStringLiteral("-0.005"), this), "Text3")),
      Frame3(named(new QGroupBox(QStringLiteral("G-код (GRBL)"), this), "Frame3")),
      Command1(named(new QPushButton(QStringLiteral("ОК"), this), "Command1")),
      Command2(named(new QPushButton(QStringLiteral("Отмена"), this), "Command2")) {
    setWindowTitle(QStringLiteral("Настройка и калибровка"));
    buildPortFrame();
    buildRatioFrame();
    buildGcodeFrame();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(Frame3);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(&m_program.runner, &JobRunner::busyChanged, this, &Form4::updateEnabled);
    updateEnabled();

    Form_Load();
}

void Form4::buildPortFrame() {
    Text4->setEditable(true);
    Text4->setInsertPolicy(QComboBox::NoInsert);
    Text4->setMinimumContentsLength(16);
    Text4->setToolTip(QStringLiteral("Имя порта станка: выберите из списка или введите своё"));
    addPortSuggestions(Text4);
    Label5->setBuddy(Text5);
    Text5->setToolTip(
        QStringLiteral("Сколько секунд ждать ответа контроллера на одну строку, прежде чем "
                       "считать связь потерянной; GRBL проверяется по его отчётам о состоянии"));
    Text5->setMaximumWidth(Text5->fontMetrics().averageCharWidth() * 12);
    auto* portLayout = new QGridLayout(Frame1);
    portLayout->addWidget(Text4, 0, 0, 1, 2);
    portLayout->addWidget(Command3, 0, 2);
    portLayout->addWidget(Label5, 1, 0);
    portLayout->addWidget(Text5, 1, 1, Qt::AlignLeft);
    portLayout->setColumnStretch(1, 1);
    buildProbeScaleRow(portLayout);
}

void Form4::buildProbeScaleRow(QGridLayout* portLayout) {
    Label6->setBuddy(Text6);
    Text6->setToolTip(
        QStringLiteral("Высота поверхности в мм на единицу отсчёта щупа нашего контроллера: "
                       "из неё карта высот скана (порты grbl: мерят миллиметры сами)"));
    Text6->setMaximumWidth(Text6->fontMetrics().averageCharWidth() * 12);
    portLayout->addWidget(Label6, 2, 0);
    portLayout->addWidget(Text6, 2, 1, Qt::AlignLeft);
}

void Form4::buildRatioFrame() {
    auto* ratioLayout = new QGridLayout(Frame2);
    QLabel* const labels[] = {Label2, Label3, Label4};
    QLineEdit* const fields[] = {Text1, Text2, Text3};
    for (int i = 0; i < 3; ++i) {
        labels[i]->setBuddy(fields[i]);
        fields[i]->setToolTip(
            QStringLiteral("Миллиметров на один шаг двигателя; "
                           "отрицательное значение меняет направление оси"));
        ratioLayout->addWidget(labels[i], i, 0);
        ratioLayout->addWidget(fields[i], i, 1);
        ratioLayout->addWidget(new QLabel(QStringLiteral("мм"), this), i, 2);
        fields[i]->setMaximumWidth(fields[i]->fontMetrics().averageCharWidth() * 18);
    }
    ratioLayout->setColumnStretch(3, 1);
}

void Form4::buildGcodeFrame() {
    auto* gcodeLayout = new QGridLayout(Frame3);
    for (int i = 0; i < int(std::size(kGcodeSettingKeys)); ++i) {
        const GcodeSettingKey& entry = kGcodeSettingKeys[i];
        auto* field = named(new QLineEdit(this), entry.key);
        auto* label = new QLabel(QString::fromUtf16(entry.caption), this);
        label->setBuddy(field);
        field->setMaximumWidth(field->fontMetrics().averageCharWidth() * 12);
        // Two columns of label and field.
        gcodeLayout->addWidget(label, i / 2, (i % 2) * 2);
        gcodeLayout->addWidget(field, i / 2, (i % 2) * 2 + 1);
        m_gcodeFields.append(field);
    }
    Frame3->setToolTip(
        QStringLiteral("Для портов grbl:УСТРОЙСТВО и gcode:ФАЙЛ; новые значения действуют "
                       "после открытия порта заново"));
}

void Form4::Form_Load() {
    const ProgramSettings& settings = m_program.settings.values();
    Text1->setText(formatGeneral(settings.StepRatioX));
    Text2->setText(formatGeneral(settings.StepRatioY));
    Text3->setText(formatGeneral(settings.StepRatioZ));
    Text4->setEditText(settings.PortName);
    Text5->setText(formatGeneral(settings.ReplyTimeoutSeconds));
    Text6->setText(formatGeneral(settings.ProbeScaleMm));
    for (int i = 0; i < m_gcodeFields.size(); ++i)
        m_gcodeFields[i]->setText(formatGeneral(settings.Gcode.*kGcodeSettingKeys[i].value));
}

void Form4::Command1_Click() {
    QLineEdit* const fields[] = {Text1, Text2, Text3};
    const QString axes[] = {QStringLiteral("X:"), QStringLiteral("Y:"), QStringLiteral("Z:")};
    double ratios[3] = {};
    for (int i = 0; i < 3; ++i) {
        const auto ratio = ParseDecimal(fields[i]->text());
        if (!ratio || *ratio == 0) {
            m_showMessage(this, kErrorTitle,
                          QStringLiteral("В поле «%1» должно быть число, не равное нулю: "
                                         "перемещение в мм на один шаг двигателя.")
                              .arg(axes[i]));
            fields[i]->setFocus();
            fields[i]->selectAll();
            return;
        }
        ratios[i] = *ratio;
    }
    const auto timeout = ParseDecimal(Text5->text());
    if (!timeout || !(*timeout > 0) || !std::isfinite(*timeout)) {
        m_showMessage(
            this, kErrorTitle,
            QStringLiteral("В поле «%1» должно быть число больше нуля.").arg(Label5->text()));
        Text5->setFocus();
        Text5->selectAll();
        return;
    }
    const auto probeScale = ParseDecimal(Text6->text());
    if (!probeScale || *probeScale == 0 || !std::isfinite(*probeScale)) {
        m_showMessage(
            this, kErrorTitle,
            QStringLiteral("В поле «%1» должно быть число, не равное нулю.").arg(Label6->text()));
        Text6->setFocus();
        Text6->selectAll();
        return;
    }
    GcodeSettings gcode;
    for (int i = 0; i < m_gcodeFields.size(); ++i) {
        const auto value = ParseDecimal(m_gcodeFields[i]->text());
        if (!value || !(*value > 0) || !std::isfinite(*value)) {
            m_showMessage(this, kErrorTitle,
                          QStringLiteral("В поле «%1» должно быть число больше нуля.")
                              .arg(QString::fromUtf16(kGcodeSettingKeys[i].caption)));
            m_gcodeFields[i]->setFocus();
            m_gcodeFields[i]->selectAll();
            return;
        }
        gcode.*kGcodeSettingKeys[i].value = *value;
    }
    // A job's calibration holds for the whole job (the button is disabled then, too).
    if (m_program.runner.busy()) return;
    ProgramSettings settings = m_program.settings.values();
    settings.Gcode = gcode;
    settings.StepRatioX = ratios[0];
    settings.StepRatioY = ratios[1];
    settings.StepRatioZ = ratios[2];
    const QString port = Text4->currentText();
    settings.PortName = port;
    settings.ReplyTimeoutSeconds = *timeout;
    settings.ProbeScaleMm = *probeScale;
    m_program.settings.replace(settings);
    QList<std::pair<QString, QString>> values{{kRatioXKey.writtenName(), Text1->text()},
                                              {kRatioYKey.writtenName(), Text2->text()},
                                              {kRatioZKey.writtenName(), Text3->text()},
                                              {kPortKey.writtenName(), Text4->currentText()},
                                              {kReplyTimeoutKey.writtenName(), Text5->text()},
                                              {kProbeScaleKey.writtenName(), Text6->text()}};
    for (int i = 0; i < m_gcodeFields.size(); ++i)
        values.append({QLatin1String(kGcodeSettingKeys[i].key), m_gcodeFields[i]->text()});
    if (const QString error = m_program.config.WriteSettings(values); !error.isEmpty())
        m_showMessage(this, kErrorTitle, error);
    MachineLink& link = m_program.link;
    if ((port != link.portName() || !link.isOpen()) && link.open(port) <= 0) {
        m_showMessage(
            this, kErrorTitle,
            portOpenFailure(port, link.driver().openError()) + u'\n' + systemPortsSentence());
    }
    closeHostingWindow(this);
}

void Form4::Command2_Click() {
    closeHostingWindow(this);
}

void Form4::Command3_Click() {
    // A job reads the port at every line: it must not be swapped under a running job.
    if (m_program.runner.busy()) return;
    const QString name = Text4->currentText();
    ConnectionTestResult result;
    const bool ran =
        m_host->runJob([&](JobHost& host) { result = TestConnection(host, m_program.link, name); });
    // A window closed under the test goes as soon as the test has ended: a box over it would be
    // destroyed with it.
    if (!ran || m_closing) return;
    if (!result.open) result.text += u'\n' + systemPortsSentence();
    m_showMessage(this, result.answered ? kConnectionOpenTitle : kConnectionFailedTitle,
                  result.text);
}

void Form4::closeEvent(QCloseEvent* event) {
    if (!m_host->readyToClose()) {
        m_closing = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void Form4::updateEnabled() {
    const bool idle = !m_program.runner.busy();
    const QString busyReason = QStringLiteral("Недоступно, пока идёт работа");
    Command1->setEnabled(idle);
    Command1->setToolTip(
        idle ? QString()
             : busyReason + QStringLiteral(": шаги двигателей работы не меняются до её конца"));
    Command3->setEnabled(idle);
    Command3->setToolTip(idle ? QString() : busyReason);
}
