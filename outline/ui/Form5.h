#pragma once

#include "link/ui/WorkingWindow.h"

class FigureWorkspace;
class QLineEdit;

// The outlining window: the figures of a silhouette or ornament picture outlined with the laser.
// It reads its finished width and picture path from the configuration file when created and
// writes the width back when it closes.
class Form5 : public WorkingWindow {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form5(QWidget* parent = nullptr);

protected:
    void loadPictureKey(const ConfigKey& key) override;

private:
    FigureWorkspace* m_workspace;  // the picture, its layers, figures and tree; Frame4, Frame2
    QLineEdit* Text1;              // path of the picture (only the program writes it)
    QLineEdit* Text6;              // finished width, mm
    QLineEdit* Text7;              // finished height, mm (follows the width; not stored)
};
