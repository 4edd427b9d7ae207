#pragma once

#include "figures/ui/FigureWindow.h"

class QLineEdit;
class SurfaceMapPanel;

// The milling window: a picture of silhouettes or ornaments cut figure by figure. It reads its
// size fields and its picture path from the configuration file when created and writes the size
// fields back when it closes.
class Form1 : public FigureWindow {
    Q_OBJECT
public:
    // Builds the window over the program's parts and runs Form_Load.
    explicit Form1(ProgramContext& program, QWidget* parent = nullptr);

    SurfaceMapPanel& surfacePanel() const { return *m_surface; }

private:
    // The cutter's tab shades the part of the picture that the surface map covers.
    void showSurfaceOnCutterView();
    static constexpr int kCutterLayerIndex = 3;

    // The picture's path (Text2) and the finished size (Text6, Text7) are the workspace's.
    QLineEdit* Text1;  // milling depth, mm
    QLineEdit* Text3;  // cutter diameter, mm
    SurfaceMapPanel* m_surface;
};
