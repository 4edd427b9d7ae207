#pragma once

#include "figures/ui/FigureWindow.h"

// The outlining window: the figures of a silhouette or ornament picture outlined with the laser.
// It reads its finished width and picture path from the configuration file when created and
// writes the width back when it closes. Its picture path (Text1) and finished size (Text6,
// Text7) are the workspace's.
class Form5 : public FigureWindow {
    Q_OBJECT
public:
    // Builds the window over the program's parts and runs Form_Load.
    explicit Form5(ProgramContext& program, QWidget* parent = nullptr);
};
