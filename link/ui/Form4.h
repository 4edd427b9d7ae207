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

// The settings and calibration window: the serial port and the millimetres one motor step moves
// on each axis. It reads nothing from the configuration file: it shows the values in effect.
// "ОК" puts the ratios into effect at once and stores the four keys as typed; "Отмена" changes
// nothing; "Проверить соединение" reopens the program's port under the typed name.
class Form4 : public QWidget {
    Q_OBJECT
public:
    // Builds the window over the program's settings, link and runner (which outlive it) and
    // runs Form_Load. "ОК" and the connection test are disabled while a job runs: a job's step
    // ratios and port hold for the whole job.
    explicit Form4(ProgramContext& program, QWidget* parent = nullptr);

    // Replaces the message box (tests record the messages instead).
    void setMessageFunction(MessageFunction show) { m_showMessage = std::move(show); }

private:
    void Form_Load();
    // "ОК": refuses, naming the field, a ratio that is not a number or is zero, or a time limit
    // or G-code setting that is not a number above 0, and keeps the window open; otherwise sets
    // the ratios, the time limit, the G-code settings and the port name, writes "SM_X_ratio",
    // "SM_Y_ratio", "SM_Z_ratio", "port", "port_timeout" and the G-code keys exactly as typed,
    // and closes the window.
    void Command1_Click();
    // "Отмена": closes the window; nothing changes.
    void Command2_Click();
    // "Проверить соединение": the link closes the open port and opens the typed one as the
    // program's port (every working window follows it); says whether that worked. The typed
    // name is not stored.
    void Command3_Click();
    void updateEnabled();
    void buildPortFrame();
    void buildRatioFrame();
    void buildGcodeFrame();
    void buildProbeScaleRow(QGridLayout* portLayout);

    ProgramContext& m_program;
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
