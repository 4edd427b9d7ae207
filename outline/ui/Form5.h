#pragma once

#include "figures/ui/FigureWindow.h"

class QLineEdit;

// The outlining window: the figures of a silhouette or ornament picture outlined with the laser.
// It reads its finished width and picture path from the configuration file when created and
// writes the width back when it closes.
class Form5 : public FigureWindow {
    Q_OBJECT
public:
    // Builds the window over the program's parts and runs Form_Load.
    explicit Form5(ProgramContext& program, QWidget* parent = nullptr);

private:
    QLineEdit* Text1;  // path of the picture (only the program writes it)
    QLineEdit* Text6;  // finished width, mm
    QLineEdit* Text7;  // finished height, mm (follows the width; not stored)
};
