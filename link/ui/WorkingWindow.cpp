#include "link/ui/WorkingWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/config/Config.h"
#include "app/config/ProgramSettings.h"
#include "link/serial/SerialDriver.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"

namespace {

// Room for the widest control of any column (the manual panel's fields and button, two job
// buttons side by side) in the program's font.
constexpr int kColumnCharacters = 44;
constexpr int kMinColumnWidth = 300;

// The fields a written job names in its header, by window: the text box and its caption with
// the unit ("%1" is the text).
struct FieldCaption {
    MoveRules rules;
    const char* field;
    const char16_t* caption;
};

const FieldCaption kFieldCaptions[] = {
    {MoveRules::Milling, "Text6", u"ширина %1 мм"},
    {MoveRules::Milling, "Text7", u"высота %1 мм"},
    {MoveRules::Milling, "Text1", u"глубина %1 мм"},
    {MoveRules::Milling, "Text3", u"фреза %1 мм"},
    {MoveRules::Scanner, "Text8", u"область по X %1 мм"},
    {MoveRules::Scanner, "Text9", u"область по Y %1 мм"},
    {MoveRules::Scanner, "Text3", u"сетка по X %1 точек"},
    {MoveRules::Scanner, "Text4", u"сетка по Y %1 точек"},
    {MoveRules::Scanner, "Text6", u"изображение %1 пикселей в ширину"},
    {MoveRules::Scanner, "Text7", u"изображение %1 пикселей в высоту"},
    {MoveRules::Engraving, "Text6", u"ширина %1 мм"},
    {MoveRules::Engraving, "Text7", u"высота %1 мм"},
    {MoveRules::Outlining, "Text6", u"ширина %1 мм"},
    {MoveRules::Outlining, "Text7", u"высота %1 мм"},
};

}  // namespace

int WorkingWindow::columnWidth() {
    return std::max(kMinColumnWidth, QFontMetrics(QFont()).averageCharWidth() * kColumnCharacters);
}

WorkingWindow::WorkingWindow(const WorkingWindowSetup& setup, ProgramContext& program,
                             QWidget* parent)
    : QWidget(parent),
      m_setup(setup),
      m_program(program),
      m_host(new WindowJobHost(this, program.runner, program.settings.values())),
      m_protocol(setup.rules, *m_host, program.link, program.settings.values()),
      m_panel(new ManualPanel(setup.frameCaption, setup.outputCaption, *m_host, m_protocol, program,
                              this)),
      m_jobBar(new JobBar(this)),
      m_layout(new QHBoxLayout(this)) {
    m_host->setJobBar(m_jobBar);
    // A port that writes what it is sent (a G-code file) names in its header what made it.
    m_host->setMachineLink(&m_program.link);
    m_host->setJobStarting([this] {
        m_program.link.driver().describeJob(m_program.link.PortHandle(), jobDescription());
    });
    m_host->setJobEnding([this] { m_program.link.driver().endJob(m_program.link.PortHandle()); });
    m_layout->setContentsMargins(0, 0, 0, 0);
}

void WorkingWindow::setPictureArea(QWidget* area) {
    m_layout->insertWidget(0, area, 1);
}

QVBoxLayout* WorkingWindow::columnLayout() {
    if (!m_column) {
        m_column = new QWidget(this);
        m_column->setObjectName(QStringLiteral("ControlColumn"));
        m_columnLayout = new QVBoxLayout;
        auto* outer = new QVBoxLayout(m_column);
        outer->addLayout(m_columnLayout);
        outer->addWidget(m_panel);
        outer->addStretch(1);
        outer->addWidget(m_jobBar);
        m_layout->addWidget(m_column);
    }
    return m_columnLayout;
}

void WorkingWindow::Form_Load() {
    // The column's width is settled once its controls are in place: the width of every column,
    // or what its widest control needs; from then on no text changes it.
    if (m_column)
        m_column->setFixedWidth(std::max(columnWidth(), m_column->minimumSizeHint().width()));
    if (!m_setup.portStatusLast) m_panel->showPortStatus();
    for (const ConfigKey* key : m_setup.keys.load) {
        if (key == m_setup.keys.picture)
            loadPictureKey(*key);
        else if (auto* field = findChild<QLineEdit*>(QLatin1String(key->field)))
            field->setText(key->read(m_program.config));
        else if (auto* box = findChild<QCheckBox*>(QLatin1String(key->field)))
            box->setChecked(key->read(m_program.config).trimmed() == u"1");
    }
    if (m_setup.portStatusLast) m_panel->showPortStatus();
}

void WorkingWindow::loadPictureKey(const ConfigKey& key) {
    if (auto* field = findChild<QLineEdit*>(QLatin1String(key.field)))
        field->setText(key.read(m_program.config));
}

void WorkingWindow::Form_Unload() {
    // All the window's keys in one replacement of the file, in the unload order.
    QList<std::pair<QString, QString>> values;
    for (const ConfigKey* key : m_setup.keys.unload)
        if (auto* field = findChild<QLineEdit*>(QLatin1String(key->field)))
            values.append({key->writtenName(), field->text()});
        else if (auto* box = findChild<QCheckBox*>(QLatin1String(key->field)))
            values.append(
                {key->writtenName(), box->isChecked() ? QStringLiteral("1") : QStringLiteral("0")});
    if (const QString error = m_program.config.WriteSettings(values); !error.isEmpty())
        m_host->showMessage(kErrorTitle, error);
}

void WorkingWindow::closeEvent(QCloseEvent* event) {
    if (!m_host->readyToClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

QString WorkingWindow::jobDescription() const {
    QStringList parts{windowTitle()};
    const auto text = [this](const ConfigKey& key) {
        const auto* field = findChild<QLineEdit*>(QLatin1String(key.field));
        return field ? field->text() : QString();
    };
    if (const ConfigKey* picture = m_setup.keys.picture)
        parts << QStringLiteral("картинка %1").arg(QFileInfo(text(*picture)).fileName());
    for (const FieldCaption& entry : kFieldCaptions) {
        if (entry.rules != m_setup.rules) continue;
        if (const auto* field = findChild<QLineEdit*>(QLatin1String(entry.field)))
            parts << QString::fromUtf16(entry.caption).arg(field->text().trimmed());
    }
    return parts.join(QStringLiteral(", "));
}
