#pragma once

#include <QWidget>

// The settings and calibration window: the serial port and the millimetres one motor step moves
// on each axis. It reads nothing from the configuration file: it shows the values in effect.
class Form4 : public QWidget {
    Q_OBJECT
public:
    // Builds the window with its caption; its controls are still to come.
    explicit Form4(QWidget* parent = nullptr);
};
