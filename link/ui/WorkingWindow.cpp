#include "link/ui/WorkingWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "link/SerialPort.h"
#include "link/ui/JobBar.h"
#include "link/ui/ManualPanel.h"
#include "link/ui/WindowJobHost.h"

namespace {

// Room for the widest control of any column (the manual panel's fields and button, two job
// buttons side by side) in the program's font.
constexpr int kColumnCharacters = 44;
constexpr int kMinColumnWidth = 300;

}  // namespace

int WorkingWindow::columnWidth() {
    return std::max(kMinColumnWidth, QFontMetrics(QFont()).averageCharWidth() * kColumnCharacters);
}

WorkingWindow::WorkingWindow(const WorkingWindowSetup& setup, QWidget* parent, JobRunner& runner,
                             MachineLink& link)
    : QWidget(parent),
      m_setup(setup),
      m_link(link),
      m_host(new WindowJobHost(this, runner)),
      m_protocol(setup.kind, *m_host, link),
      m_panel(new ManualPanel(setup.frameCaption, setup.outputCaption, *m_host, m_protocol, link,
                              this)),
      m_jobBar(new JobBar(this)),
      m_layout(new QHBoxLayout(this)) {
    m_host->setJobBar(m_jobBar);
    // A port that writes what it is sent (a G-code file) names in its header what made it.
    m_host->setMachineLink(&m_link);
    m_host->setJobStarting([this] { SerialDescribeJob(m_link.PortHandle(), jobDescription()); });
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
            field->setText(key->read());
    }
    if (m_setup.portStatusLast) m_panel->showPortStatus();
}

void WorkingWindow::loadPictureKey(const ConfigKey& key) {
    if (auto* field = findChild<QLineEdit*>(QLatin1String(key.field))) field->setText(key.read());
}

void WorkingWindow::Form_Unload() {
    for (const ConfigKey* key : m_setup.keys.unload)
        if (auto* field = findChild<QLineEdit*>(QLatin1String(key->field)))
            key->write(field->text());
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
    for (const ConfigKey* key : m_setup.keys.unload)
        parts << QStringLiteral("%1=%2").arg(QLatin1String(key->name), text(*key));
    return parts.join(QStringLiteral(", "));
}
