#pragma once

#include <QList>
#include <QWidget>

#include "link/ui/UserMessage.h"

struct ProgramContext;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class WindowJobHost;

// The settings and calibration window: the serial port and the millimetres one motor step moves
// on each axis. It reads nothing from the configuration file: it shows the values in effect.
// "ОК" puts the ratios into effect at once and stores the four keys as typed; "Отмена" changes
// nothing; "Проверить соединение" reopens the program's port under the typed name and asks who
// is at the other end.
class Form4 : public QWidget {
    Q_OBJECT
public:
    // Builds the window over the program's settings, link and runner (which outlive it) and
    // runs Form_Load. "ОК" and the connection test are disabled while a job runs: a job's step
    // ratios and port hold for the whole job.
    explicit Form4(ProgramContext& program, QWidget* parent = nullptr);

    // Replaces the message box (tests record the messages instead).
    void setMessageFunction(MessageFunction show) { m_showMessage = std::move(show); }

protected:
    // While the connection test waits for the controller, closing asks it to stop and closes
    // the window once it has, without its message.
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    // "ОК": refuses, naming the field, a ratio that is not a number or is zero, or a time limit
    // or G-code setting that is not a number above 0, and keeps the window open; otherwise sets
    // the ratios, the time limit, the G-code settings and the port name, writes "SM_X_ratio",
    // "SM_Y_ratio", "SM_Z_ratio", "port", "port_timeout" and the G-code keys exactly as typed,
    // reopens the port through the link when its name differs from the open port's (or none is
    // open), so that every window follows at once, and closes the window. A port that cannot
    // be opened is reported with the system's reason.
    void Command1_Click();
    // "Отмена": closes the window; nothing changes.
    void Command2_Click();
    // "Проверить соединение": the link closes the open port and opens the typed one as the
    // program's port (every working window follows it), then TestConnection asks the far end,
    // run as a job (Esc or closing the window ends its wait); the message says what was found.
    // The typed name is not stored.
    void Command3_Click();
    void updateEnabled();
    void buildPortFrame();
    void buildRatioFrame();
    void buildGcodeFrame();
    void buildProbeScaleRow(QGridLayout* portLayout);

    ProgramContext& m_program;
    WindowJobHost* m_host;   // runs the connection test as a job
    bool m_closing = false;  // closed during the connection test
    MessageFunction m_showMessage = &showMessageBox;

    QGroupBox* Frame1;
    QComboBox* Text4;
    QPushButton* Command3;
    QLabel* Label5;
    QLabel* Label6;    // "мм на единицу отсчёта щупа:"
    QLineEdit* Text6;  // the probe's scale (probe_mm_per_unit)
    QLineEdit* Text5;  // seconds to wait for an answer (port_timeout)
    QGroupBox* Frame2;
    QLabel* Label2;
    QLineEdit* Text1;
    QLabel* Label3;
    QLineEdit* Text2;
    QLabel* Label4;
    QLineEdit* Text3;
    QGroupBox* Frame3;  // the G-code settings, one field per key, named after it
    QList<QLineEdit*> m_gcodeFields;
    QPushButton* Command1;
    QPushButton* Command2;
};
