#pragma once

#include <QWidget>

class FigureWorkspace;
class QLineEdit;
class WindowLink;

// The milling window: a picture of silhouettes or ornaments cut figure by figure. It reads its
// size fields and its picture path from the configuration file when created and writes the size
// fields back when it closes.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs Form_Load.
    explicit Form1(QWidget* parent = nullptr);

protected:
    // Runs Form_Unload, then lets the window close; while the window's job runs it stops the job
    // first and closes when the job has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();

    FigureWorkspace* m_workspace;  // the picture, its layers, figures and tree; Frame4, Frame2
    QLineEdit* Text2;              // path of the picture (only the program writes it)
    QLineEdit* Text6;              // finished width, mm
    QLineEdit* Text7;              // finished height, mm (follows the width; not stored)
    QLineEdit* Text1;              // milling depth, mm
    QLineEdit* Text3;              // cutter diameter, mm
    WindowLink* m_link;  // manual panel, "Стоп", progress and the window's move protocol
};
