#include "link/ui/ManualPanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/config/NumberText.h"
#include "app/config/ProgramSettings.h"
#include "link/protocol/MachineLink.h"
#include "link/protocol/MoveProtocol.h"
#include "link/protocol/ProgramContext.h"
#include "link/ui/ElidedLabel.h"
#include "link/ui/NumberKeyFilter.h"
#include "link/ui/SystemPorts.h"
#include "link/ui/WindowJobHost.h"

namespace {

const QString kPortOpen = QStringLiteral("Com-порт открыт");
const QString kPortFailed = QStringLiteral("Ошибка открытия Com-порта");
const QString kPortClosedLost = QStringLiteral("Com-порт закрыт: связь потеряна");
// The ports the hint under the status line names.
constexpr qsizetype kHintPorts = 1;
// The lines of the tool position; one while the hint takes the other.
constexpr int kPositionLines = 2;

// A tool coordinate in millimetres as the status line shows it: always two decimals, so the
// line keeps its shape while the tool moves ("1,50", "-0,25"; never "-0,00").
QString toolCoordinate(double millimetres) {
    QString text = QString::number(millimetres, 'f', 2);
    if (text == QLatin1String("-0.00")) text = QStringLiteral("0.00");
    return text.replace(u'.', u',');
}

QLineEdit* axisField(const char* name, const QString& hint, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setToolTip(hint);
    field->setAlignment(Qt::AlignRight);
    field->setMaximumWidth(field->fontMetrics().averageCharWidth() * 12);
    NumberKeyFilter::install(field);
    return field;
}

}  // namespace

ManualPanel::ManualPanel(const QString& frameCaption, const QString& outputCaption,
                         WindowJobHost& host, MoveProtocol& protocol, ProgramContext& program,
                         QWidget* parent)
    : QGroupBox(frameCaption, parent),
      m_host(host),
      m_protocol(protocol),
      m_link(program.link),
      m_settings(program.settings),
      tx(axisField("tx", QStringLiteral("Перемещение по оси X, мм"), this)),
      ty(axisField("ty", QStringLiteral("Перемещение по оси Y, мм"), this)),
      tz(axisField("tz", QStringLiteral("Перемещение по оси Z, мм"), this)),
      Command3(new QPushButton(QStringLiteral("Ручная уст-ка"), this)),
      Check1(new QCheckBox(outputCaption, this)),
      Label8(new QLabel(QStringLiteral("Статус:"), this)),
      Label4(new QLabel(kPortFailed, this)),
      m_portHint(new QLabel(this)),
      m_position(new ElidedLabel(kPositionLines, QStringLiteral("  "), this)) {
    setObjectName(QStringLiteral("ManualPanel"));
    Command3->setObjectName(QStringLiteral("Command3"));
    Check1->setObjectName(QStringLiteral("Check1"));
    Label8->setObjectName(QStringLiteral("Label8"));
    Label4->setObjectName(QStringLiteral("Label4"));
    m_portHint->setObjectName(QStringLiteral("PortHint"));
    // One line that never widens the column (a long port name is cut; the tooltip has it all).
    m_portHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_portHint->setTextFormat(Qt::RichText);
    m_portHint->setVisible(false);
    m_position->setObjectName(QStringLiteral("ToolPosition"));

    auto* grid = new QGridLayout(this);
    QLineEdit* const fields[] = {tx, ty, tz};
    const QString axes[] = {QStringLiteral("X:"), QStringLiteral("Y:"), QStringLiteral("Z:")};
    for (int i = 0; i < 3; ++i) {
        auto* caption = new QLabel(axes[i], this);
        caption->setBuddy(fields[i]);
        grid->addWidget(caption, i, 0);
        grid->addWidget(fields[i], i, 1);
        grid->addWidget(new QLabel(QStringLiteral("мм"), this), i, 2);
    }
    // The output box beside the Z field keeps the panel short enough for the main window.
    grid->addWidget(Command3, 0, 4, 2, 1, Qt::AlignVCenter);
    grid->addWidget(Check1, 2, 4);
    // The port status and the tool position read as one block of text, set close together so
    // that the panel stays short enough for the main window.
    auto* status = new QHBoxLayout;
    status->setSpacing(grid->horizontalSpacing());
    status->addWidget(Label8);
    status->addWidget(Label4, 1);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addLayout(status);
    texts->addWidget(m_portHint);
    texts->addWidget(m_position);
    grid->addLayout(texts, 3, 0, 1, 5);
    grid->setColumnStretch(3, 1);
    grid->setVerticalSpacing(4);

    m_host.setOutputBox(Check1);
    connect(Command3, &QPushButton::clicked, this, &ManualPanel::Command3_Click);
    connect(m_portHint, &QLabel::linkActivated, this, &ManualPanel::settingsRequested);
    connect(&m_host.runner(), &JobRunner::busyChanged, this, &ManualPanel::updateEnabled);
    connect(&m_link, &MachineLink::portChanged, this, &ManualPanel::showPortStatus);
    connect(&m_link, &MachineLink::positionChanged, this, &ManualPanel::showToolPosition);
    connect(&m_settings, &SharedSettings::changed, this, &ManualPanel::showToolPosition);
    connect(&m_host, &WindowJobHost::progressReported, this, &ManualPanel::showToolPosition);
    updateEnabled();
    showToolPosition();
}

void ManualPanel::showPortStatus() {
    m_portOpen = m_link.isOpen();
    Label4->setText(m_portOpen ? kPortOpen : m_link.linkLost() ? kPortClosedLost : kPortFailed);
    showPortHint();
    updateEnabled();
}

void ManualPanel::showPortHint() {
    // The hint takes the position's second line, so that the column keeps its height (without a
    // port the machine does not move); its tooltip says it in full.
    m_portHint->setVisible(!m_portOpen);
    m_position->setLineCount(m_portOpen ? kPositionLines : kPositionLines - 1);
    if (m_portOpen) return;
    const QStringList ports = systemPortNames();
    QString found = ports.mid(0, kHintPorts).join(QStringLiteral(", "));
    if (ports.size() > kHintPorts) found += QStringLiteral(", …");
    const QString link = QStringLiteral("<a href=\"settings\">Настройка</a>");
    m_portHint->setText(
        ports.isEmpty()
            ? QStringLiteral("%1: портов нет, выберите sim").arg(link)
            : QStringLiteral("%1: выберите порт (есть %2)").arg(link, found.toHtmlEscaped()));
    const QString name = m_link.portName();
    const QString why = m_link.linkLost() ? QStringLiteral("Связь потеряна: подключитесь заново")
                        : name.isEmpty() ? QStringLiteral("Порт станка не выбран")
                                         : QStringLiteral("Порт «%1» не открылся").arg(name);
    m_portHint->setToolTip(why +
                           QStringLiteral(". Окно «Настройка» выбирает порт и проверяет "
                                          "соединение. ") +
                           systemPortsSentence());
}

void ManualPanel::setToolPositionExtra(std::function<QString()> extra) {
    m_positionExtra = std::move(extra);
    showToolPosition();
}

void ManualPanel::showToolPosition() {
    const ProgramSettings& settings = m_settings.values();
    const MachinePosition& steps = m_link.position();
    // Two lines broken at fixed places, so that growing numbers never move a value to the
    // other line during a job.
    QString text = QStringLiteral("Инструмент: X %1  Y %2\nZ %3 мм")
                       .arg(toolCoordinate(steps.x * settings.StepRatioX),
                            toolCoordinate(steps.y * settings.StepRatioY),
                            toolCoordinate(steps.z * settings.StepRatioZ));
    if (m_positionExtra) {
        const QString extra = m_positionExtra();
        if (!extra.isEmpty()) text += QStringLiteral(", ") + extra;
    }
    m_position->setFullText(text);
}

void ManualPanel::updateEnabled() {
    // The output box decides what a job sends: it must not change under a running job.
    const bool idle = !m_host.runner().busy();
    Check1->setEnabled(m_portOpen && idle);
    Command3->setEnabled(m_portOpen && idle);
}

void ManualPanel::Command3_Click() {
    const auto x = parseNumber(tx->text());
    if (!x) {
        m_host.showMessage(kErrorTitle,
                           QStringLiteral("Введите число в поле для перемещения по 1-ой оси!"));
        return;
    }
    const auto y = parseNumber(ty->text());
    if (!y) {
        m_host.showMessage(kErrorTitle,
                           QStringLiteral("Введите число в поле для перемещения по 2-ой оси!"));
        return;
    }
    const auto z = parseNumber(tz->text());
    if (!z) {
        m_host.showMessage(kErrorTitle,
                           QStringLiteral("Введите число в поле для перемещения по 3-ей оси!"));
        return;
    }
    m_host.runJob(
        [this, dx = *x, dy = *y, dz = *z](JobHost&) { m_protocol.ArduinoMoveMM(dx, dy, dz); });
}
