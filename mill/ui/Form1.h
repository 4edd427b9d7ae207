#pragma once

#include "figures/ui/FigureWindow.h"

class QLineEdit;

// The milling window: a picture of silhouettes or ornaments cut figure by figure. It reads its
// size fields and its picture path from the configuration file when created and writes the size
// fields back when it closes.
class Form1 : public FigureWindow {
    Q_OBJECT
public:
    // Builds the window over the program's parts and runs Form_Load.
    explicit Form1(ProgramContext& program, QWidget* parent = nullptr);

private:
    QLineEdit* Text2;  // path of the picture (only the program writes it)
    QLineEdit* Text6;  // finished width, mm
    QLineEdit* Text7;  // finished height, mm (follows the width; not stored)
    QLineEdit* Text1;  // milling depth, mm
    QLineEdit* Text3;  // cutter diameter, mm
};
