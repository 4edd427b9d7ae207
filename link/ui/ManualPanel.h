#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class MoveProtocol;
class WindowJobHost;

// The manual positioning panel that every working window carries: a relative move in
// millimetres typed into tx, ty, tz and carried out by "Ручная уст-ка" (Command3) through the
// window's own MoveProtocol, run as a job; the window's output check box Check1; and the port
// status taken when the window loads (Label8, Label4).
class ManualPanel : public QGroupBox {
    Q_OBJECT
public:
    // `frameCaption`: "Настройка", or "Установка начального положения" in the scanner window;
    // `outputCaption`: the caption of Check1 ("Фрезеровать", "Сканировать", "Гравировать").
    // The panel registers Check1 as the host's output box; `host` and `protocol` outlive it.
    ManualPanel(const QString& frameCaption, const QString& outputCaption, WindowJobHost& host,
                MoveProtocol& protocol, QWidget* parent = nullptr);

    // The port status, part of the window's Form_Load: "Com-порт открыт" when the program's port
    // is open; otherwise "Ошибка открытия Com-порта", and Check1 and Command3 are disabled for
    // as long as the window stays open.
    void showPortStatus();
    // "Ручная уст-ка": each field that is not a number is reported in axis order (title
    // "Ошибка") and nothing is sent; otherwise the move runs as a job of the window.
    void Command3_Click();

private:
    void updateEnabled();

    WindowJobHost& m_host;
    MoveProtocol& m_protocol;
    bool m_portOpen = false;

    QLineEdit* tx;
    QLineEdit* ty;
    QLineEdit* tz;
    QPushButton* Command3;
    QCheckBox* Check1;
    QLabel* Label8;
    QLabel* Label4;
};
