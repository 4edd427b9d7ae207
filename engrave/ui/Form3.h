#pragma once

#include "link/ui/WorkingWindow.h"

class QLineEdit;

// The picture engraving window: a greyscale picture burnt with the laser. It reads its picture
// path and finished width from the configuration file when created and writes the width back
// when it closes.
class Form3 : public WorkingWindow {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form3(QWidget* parent = nullptr);

private:
    QLineEdit* Text1;  // path of the picture
    QLineEdit* Text6;  // finished width, mm
    QLineEdit* Text7;  // finished height, mm (follows the width; not stored)
};
