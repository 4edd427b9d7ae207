#pragma once

#include <QGroupBox>

#include <functional>

class ElidedLabel;
class MachineLink;
class MoveProtocol;
struct ProgramContext;
class SharedSettings;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class WindowJobHost;

// The manual positioning panel that every working window carries: a relative move in
// millimetres typed into tx, ty, tz and carried out by "Ручная уст-ка" (Command3) through the
// window's own MoveProtocol, run as a job; the window's output check box Check1; the port
// status (Label8, Label4) and where the tool stands, both following the machine link live.
class ManualPanel : public QGroupBox {
    Q_OBJECT
public:
    // `frameCaption`: "Настройка", or "Установка начального положения" in the scanner window;
    // `outputCaption`: the caption of Check1 ("Фрезеровать", "Сканировать", "Гравировать").
    // The panel registers Check1 as the host's output box; `host`, `protocol` and the
    // program's link and settings outlive it. The tool's position follows the link, and the
    // settings when their step ratios change.
    ManualPanel(const QString& frameCaption, const QString& outputCaption, WindowJobHost& host,
                MoveProtocol& protocol, ProgramContext& program, QWidget* parent = nullptr);

    // The port status, part of the window's Form_Load and repeated whenever the link's port
    // changes: "Com-порт открыт" when the link's port is open; otherwise "Ошибка открытия
    // Com-порта" ("Com-порт закрыт: связь потеряна" after the link was lost under a job), and
    // Check1 and Command3 are disabled until a port is open, and a one-line hint under the
    // status line (PortHint) links to "Настройка" (settingsRequested) and names a port the
    // system has, or "sim" when it has none; its tooltip names the port that failed and every
    // port found. While any job runs, Check1 and Command3 are disabled too; Check1 keeps its
    // tick.
    void showPortStatus();
    // Shows where the tool stands: the machine's position in millimetres, counted by the link
    // from the lines answered, followed by `extra` (the window's own part, such as the pixel of
    // a figure window); called after every answered line and every progress report.
    void showToolPosition();
    // The window's own part of the position text; empty by default.
    void setToolPositionExtra(std::function<QString()> extra);
    // "Ручная уст-ка": each field that is not a number is reported in axis order (title
    // "Ошибка") and nothing is sent; otherwise the move runs as a job of the window.
    void Command3_Click();

signals:
    // The user clicked "Настройка" in the port hint: the settings window should open.
    void settingsRequested();

private:
    void updateEnabled();
    void showPortHint();

    WindowJobHost& m_host;
    MoveProtocol& m_protocol;
    MachineLink& m_link;
    const SharedSettings& m_settings;
    std::function<QString()> m_positionExtra;
    bool m_portOpen = false;

    QLineEdit* tx;
    QLineEdit* ty;
    QLineEdit* tz;
    QPushButton* Command3;
    QCheckBox* Check1;
    QLabel* Label8;
    QLabel* Label4;
    QLabel* m_portHint;
    ElidedLabel* m_position;
};
