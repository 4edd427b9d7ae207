#pragma once

#include "link/ui/WorkingWindow.h"

class QLineEdit;

// The 3D scanner window: a surface probed over a grid of points. It reads its picture size, scan
// area and grid fields from the configuration file when created and writes them back when it
// closes.
class Form2 : public WorkingWindow {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form2(QWidget* parent = nullptr);

private:
    QLineEdit* Text6;  // picture width, pixels
    QLineEdit* Text7;  // picture height, pixels
    QLineEdit* Text3;  // grid points along X
    QLineEdit* Text4;  // grid points along Y
    QLineEdit* Text8;  // scan area along X, mm
    QLineEdit* Text9;  // scan area along Y, mm (derived from the others; not stored)
};
